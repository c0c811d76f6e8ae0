#include "platform/system/clock.h"

#include <atomic>
#include <ctime>
#include <thread>

namespace sys {

namespace {

LocalTime Split(std::chrono::sys_time<std::chrono::milliseconds> time) {
    using namespace std::chrono;
    const auto days = floor<std::chrono::days>(time);
    const year_month_day date{days};
    const hh_mm_ss clock{time - days};
    LocalTime result;
    result.year = static_cast<uint16_t>(static_cast<int>(date.year()));
    result.month = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
    result.day = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
    result.dayOfWeek = static_cast<uint16_t>(weekday{days}.c_encoding());
    result.hour = static_cast<uint16_t>(clock.hours().count());
    result.minute = static_cast<uint16_t>(clock.minutes().count());
    result.second = static_cast<uint16_t>(clock.seconds().count());
    result.milliseconds = static_cast<uint16_t>(clock.subseconds().count());
    return result;
}

std::chrono::sys_time<std::chrono::milliseconds> Join(const LocalTime& time) {
    using namespace std::chrono;
    const sys_days days{year{time.year} / month{time.month} / day{time.day}};
    return days + hours{time.hour} + minutes{time.minute} + seconds{time.second} +
           milliseconds{time.milliseconds};
}

RealClock& RealClockInstance() {
    static RealClock clock;
    return clock;
}

std::atomic<Clock*> installedClock{nullptr};

}  // namespace

uint32_t RealClock::TickCount() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(static_cast<uint64_t>(elapsed.count()));
}

void RealClock::Sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

LocalTime RealClock::Now() {
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        return Split(now);
    }
    LocalTime result;
    result.year = static_cast<uint16_t>(local.tm_year + 1900);
    result.month = static_cast<uint16_t>(local.tm_mon + 1);
    result.day = static_cast<uint16_t>(local.tm_mday);
    result.dayOfWeek = static_cast<uint16_t>(local.tm_wday);
    result.hour = static_cast<uint16_t>(local.tm_hour);
    result.minute = static_cast<uint16_t>(local.tm_min);
    result.second = static_cast<uint16_t>(local.tm_sec);
    result.milliseconds = static_cast<uint16_t>(now.time_since_epoch().count() % 1000);
    return result;
}

VirtualClock::VirtualClock(uint32_t startTick)
    : tick_(startTick),
      time_(std::chrono::sys_days{std::chrono::year{2024} / std::chrono::January / 1}) {}

uint32_t VirtualClock::TickCount() {
    const uint32_t now = tick_;
    if (advancePerRead_ != 0) {
        Advance(advancePerRead_);
    }
    return now;
}

void VirtualClock::Sleep(uint32_t ms) {
    sleeps_.push_back(ms);
    Advance(ms);
}

LocalTime VirtualClock::Now() {
    return Split(time_);
}

void VirtualClock::Advance(uint32_t ms) {
    tick_ += ms;  // wraps like the real tick count
    time_ += std::chrono::milliseconds(ms);
    // A hook that sleeps or advances moves the clock without calling itself again.
    if (hook_ && !inHook_) {
        inHook_ = true;
        hook_(tick_);
        inHook_ = false;
    }
}

void VirtualClock::SetTick(uint32_t tick) {
    tick_ = tick;
}

void VirtualClock::SetTime(const LocalTime& time) {
    time_ = Join(time);
}

void VirtualClock::SetHook(Hook hook) {
    hook_ = std::move(hook);
}

void VirtualClock::SetAdvancePerRead(uint32_t ms) {
    advancePerRead_ = ms;
}

Clock& CurrentClock() {
    Clock* clock = installedClock.load();
    return clock != nullptr ? *clock : RealClockInstance();
}

void SetClock(Clock* clock) {
    installedClock.store(clock);
}

}  // namespace sys
