#include "forms/clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace glim::forms {

int64_t SystemClock::nowMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string SystemClock::timeOfDay() const {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return timeOfDayText(((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * int64_t{1000} + ms);
}

std::string ScriptClock::timeOfDay() const { return timeOfDayText(now_); }

std::string timeOfDayText(int64_t ms) {
  constexpr int64_t kDay = 24 * 3600 * 1000;
  ms = ((ms % kDay) + kDay) % kDay;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
  return text;
}

}  // namespace glim::forms
