// The simulator's sense of time. Every delay the simulator models (printing a job, cleaning,
// taking new firmware) goes through one Clock, so that tests drive time by hand.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace printersim {

using Millis = int64_t;

class Clock {
  public:
    virtual ~Clock() = default;
    // Monotonic milliseconds.
    virtual Millis Now() = 0;
    // Wall time for journal records.
    virtual std::chrono::system_clock::time_point WallNow() = 0;
    // Blocks until Now() >= deadline; false when the clock was shut down first.
    virtual bool WaitUntil(Millis deadline) = 0;
    // Wakes every waiter for good; used when the simulator stops.
    virtual void Shutdown() = 0;
};

class SteadyClock final : public Clock {
  public:
    Millis Now() override;
    std::chrono::system_clock::time_point WallNow() override;
    bool WaitUntil(Millis deadline) override;
    void Shutdown() override;

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool shutDown_ = false;
};

// Time moves only when Advance() is called; waiters wake as their deadline is passed.
class ManualClock final : public Clock {
  public:
    Millis Now() override;
    std::chrono::system_clock::time_point WallNow() override;
    bool WaitUntil(Millis deadline) override;
    void Shutdown() override;

    void Advance(Millis by);
    // How many threads are blocked in WaitUntil right now.
    int Waiters();

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    Millis now_ = 0;
    int waiters_ = 0;
    bool shutDown_ = false;
};

}  // namespace printersim
