#include "cli/terminal_wait.h"

#include <algorithm>

namespace cli {

namespace {

constexpr int kBarWidth = 30;

volatile std::sig_atomic_t interruptRequested = 0;

void OnInterrupt(int) {
    interruptRequested = 1;
}

}  // namespace

std::string TerminalWait::Bar(uint32_t elapsedMs, uint32_t totalMs) {
    const uint64_t percent = totalMs == 0 ? 100 : uint64_t{elapsedMs} * 100 / totalMs;
    const auto filled = static_cast<size_t>(percent * kBarWidth / 100);
    const uint32_t leftSeconds = elapsedMs >= totalMs ? 0 : (totalMs - elapsedMs + 999) / 1000;
    std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
    const std::string number = std::to_string(percent);
    return bar + std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + " %  " +
           std::to_string(leftSeconds) + " s left";
}

void TerminalWait::Begin() {
    interruptRequested = 0;
    // A program started with interrupts ignored (in the background, under nohup) keeps them so.
    sigaction(SIGINT, nullptr, &previous_);
    if (previous_.sa_handler != SIG_IGN) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
    }
    out_ << "The printer takes the firmware: keep it switched on. Ctrl-C ends the wait early.\n";
    out_.flush();
}

bool TerminalWait::Progress(uint32_t elapsedMs, uint32_t totalMs) {
    if (interruptRequested != 0) {
        interrupted_ = true;
        return false;
    }
    const auto percent = static_cast<int>(uint64_t{elapsedMs} * 100 / totalMs);
    if (terminal_ && percent != shown_) {
        out_ << "\r" << Bar(elapsedMs, totalMs) << "\x1B[K";
        out_.flush();
        shown_ = percent;
    } else if (!terminal_ && percent / 10 != shown_) {
        out_ << Bar(elapsedMs, totalMs) << "\n";
        out_.flush();
        shown_ = percent / 10;
    }
    return true;
}

void TerminalWait::End() {
    sigaction(SIGINT, &previous_, nullptr);
    if (terminal_ && shown_ >= 0) {
        out_ << "\n";
    }
    out_ << (interrupted_ ? "The wait was ended early; reading the printer's version.\n"
                          : "Reading the printer's version.\n");
    out_.flush();
}

}  // namespace cli
