#include "sim/printer/clock.h"

namespace printersim {

Millis SteadyClock::Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::chrono::system_clock::time_point SteadyClock::WallNow() {
    return std::chrono::system_clock::now();
}

bool SteadyClock::WaitUntil(Millis deadline) {
    std::unique_lock lock(mutex_);
    auto until = std::chrono::steady_clock::time_point(std::chrono::milliseconds(deadline));
    wake_.wait_until(lock, until, [&] { return shutDown_; });
    return !shutDown_;
}

void SteadyClock::Shutdown() {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    wake_.notify_all();
}

Millis ManualClock::Now() {
    std::lock_guard lock(mutex_);
    return now_;
}

std::chrono::system_clock::time_point ManualClock::WallNow() {
    // A fixed origin keeps journal records of tests reproducible: 2024-01-01T00:00:00Z.
    std::lock_guard lock(mutex_);
    return std::chrono::system_clock::time_point(std::chrono::seconds(1704067200)) +
           std::chrono::milliseconds(now_);
}

bool ManualClock::WaitUntil(Millis deadline) {
    std::unique_lock lock(mutex_);
    ++waiters_;
    wake_.wait(lock, [&] { return shutDown_ || now_ >= deadline; });
    --waiters_;
    return !shutDown_;
}

void ManualClock::Shutdown() {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    wake_.notify_all();
}

void ManualClock::Advance(Millis by) {
    std::lock_guard lock(mutex_);
    now_ += by;
    wake_.notify_all();
}

int ManualClock::Waiters() {
    std::lock_guard lock(mutex_);
    return waiters_;
}

}  // namespace printersim
