#include "cli/terminal_wait.h"

#include <algorithm>
#include <iostream>

#include "cli/translation.h"

namespace cli {

namespace {

constexpr int kBarWidth = 30;

volatile std::sig_atomic_t interruptRequested = 0;
volatile std::sig_atomic_t endingSignal = 0;  // SIGHUP or SIGTERM once one came

void OnInterrupt(int) {
    interruptRequested = 1;
}

void OnEnding(int signal) {
    endingSignal = signal;
}

// Sets the handler, keeping `previous`; a signal ignored when the program started (in the
// background, under nohup) stays ignored.
void Catch(int signal, void (*handler)(int), struct sigaction& previous) {
    sigaction(signal, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN) {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace

TerminalWait::TerminalWait(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {
    endingSignal = 0;
    Catch(SIGHUP, OnEnding, previousHangUp_);
    Catch(SIGTERM, OnEnding, previousTerminate_);
    Catch(SIGPIPE, SIG_IGN, previousPipe_);
}

TerminalWait::~TerminalWait() {
    sigaction(SIGPIPE, &previousPipe_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
    sigaction(SIGHUP, &previousHangUp_, nullptr);
}

std::string TerminalWait::Bar(uint32_t elapsedMs, uint32_t totalMs) {
    const uint64_t percent = totalMs == 0 ? 100 : uint64_t{elapsedMs} * 100 / totalMs;
    const auto filled = static_cast<size_t>(percent * kBarWidth / 100);
    const uint32_t leftSeconds = elapsedMs >= totalMs ? 0 : (totalMs - elapsedMs + 999) / 1000;
    std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
    const std::string number = std::to_string(percent);
    return bar + std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + " %  " +
           Tr("%1 s left", {std::to_string(leftSeconds)});
}

void TerminalWait::Begin() {
    interruptRequested = 0;
    // Before the wait, Ctrl-C ends the program as usual: nothing has been sent that needs it.
    Catch(SIGINT, OnInterrupt, previousInterrupt_);
    out_ << Tr(
        "The printer takes the firmware: keep it switched on. Ctrl-C ends the wait early.\n");
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
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    if (terminal_ && shown_ >= 0) {
        out_ << "\n";
    }
    if (Abandoned()) {
        out_ << Tr("The wait was ended by a signal; the printer's version is not read.\n");
    } else {
        out_ << (interrupted_ ? Tr("The wait was ended early; reading the printer's version.\n")
                              : Tr("Reading the printer's version.\n"));
    }
    out_.flush();
}

bool TerminalWait::Abandoned() const {
    return endingSignal != 0;
}

void TerminalWait::EndAsSignalled() {
    const int signal = endingSignal;
    if (signal == 0) {
        return;
    }
    std::cout.flush();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

}  // namespace cli
