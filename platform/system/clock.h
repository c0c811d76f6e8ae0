// Time as the modules see it: a 32-bit millisecond tick count, sleeping and the local time. The
// process-wide clock is the real one unless a test installs a virtual clock, under which long
// waits and polls cost nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/export.h"

namespace sys {

// A calendar time split like SYSTEMTIME; month 1-12, dayOfWeek 0 (Sunday) to 6.
struct LocalTime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t dayOfWeek = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

class PLENWISE_API Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, wrapping at 2^32.
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t ms) = 0;
    virtual LocalTime Now() = 0;
};

// The steady clock, real sleeps and the local time zone.
class PLENWISE_API RealClock : public Clock {
  public:
    uint32_t TickCount() override;
    void Sleep(uint32_t ms) override;
    LocalTime Now() override;
};

// A clock that moves only when told to: Sleep and Advance move it at once. After every move the
// hook (when set) is called with the new tick count, so that a test can change the world at
// chosen times. Meant for one thread, as the modules use it.
class PLENWISE_API VirtualClock : public Clock {
  public:
    using Hook = std::function<void(uint32_t nowTick)>;

    // The local time is 2024-01-01 00:00:00.000 (a Monday) at the start tick unless SetTime says
    // otherwise.
    explicit VirtualClock(uint32_t startTick = 0);

    uint32_t TickCount() override;
    // Records the request, then advances by ms.
    void Sleep(uint32_t ms) override;
    LocalTime Now() override;

    void Advance(uint32_t ms);
    void SetTick(uint32_t tick);
    // The local time as of now; it runs on with every advance.
    void SetTime(const LocalTime& time);
    void SetHook(Hook hook);
    // Every read of TickCount advances the clock by ms afterwards, for code that waits by
    // watching the tick count without sleeping. 0 (the default) turns it off.
    void SetAdvancePerRead(uint32_t ms);

    // The sleeps asked for, in order.
    const std::vector<uint32_t>& Sleeps() const { return sleeps_; }

  private:
    uint32_t tick_;
    uint32_t advancePerRead_ = 0;
    std::chrono::sys_time<std::chrono::milliseconds> time_;
    Hook hook_;
    bool inHook_ = false;
    std::vector<uint32_t> sleeps_;
};

// The process-wide clock; the real one unless SetClock installed another.
PLENWISE_API Clock& CurrentClock();
// Installs a clock owned by the caller, which must outlive its use; nullptr restores the real one.
PLENWISE_API void SetClock(Clock* clock);

// Installs a clock for the lifetime of the object, then restores the real one.
class PLENWISE_API ScopedClock {
  public:
    explicit ScopedClock(Clock& clock) { SetClock(&clock); }
    ~ScopedClock() { SetClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace sys
