#include "platform/system/operator_notice.h"

#include <array>
#include <iostream>
#include <mutex>

namespace sys {

namespace {

std::mutex gMutex;
NoticeTeller gTeller;
std::array<int, 2> gCounts{};

bool ToldOnce(Notice notice) {
    return notice == Notice::ServiceLogUnwritable;
}

}  // namespace

void SetNoticeTeller(NoticeTeller teller) {
    const std::lock_guard<std::mutex> lock(gMutex);
    gTeller = std::move(teller);
}

void TellOperator(Notice notice, const std::string& text) {
    NoticeTeller teller;
    {
        const std::lock_guard<std::mutex> lock(gMutex);
        if (gCounts[static_cast<std::size_t>(notice)]++ > 0 && ToldOnce(notice)) {
            return;
        }
        teller = gTeller;
    }
    // Told outside the lock: a message box runs an event loop.
    if (teller) {
        teller(notice, text);
    } else {
        std::cerr << "plenwise: " << text << "\n";
    }
}

int NoticeCount(Notice notice) {
    const std::lock_guard<std::mutex> lock(gMutex);
    return gCounts[static_cast<std::size_t>(notice)];
}

void ResetNotices() {
    const std::lock_guard<std::mutex> lock(gMutex);
    gCounts = {};
}

}  // namespace sys
