// Calendar arithmetic for iDate.
#include "render/frame_date.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr long kDaysFrom1970To2000 = 10957;

// Year, month from 0 and day from days since 1970-01-01 in the proleptic
// Gregorian calendar, counted in 400-year eras of 146097 days starting in March
// so that the leap day falls at an era-year's end.
DateValue civilDate(long days) {
    days += 719468; // from 0000-03-01
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long shiftedMonth = (5 * dayOfYear + 2) / 153; // 0 is March
    const long day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const long month = shiftedMonth < 10 ? shiftedMonth + 2 : shiftedMonth - 10;
    const long year = yearOfEra + era * 400 + (month < 2 ? 1 : 0);
    return {static_cast<double>(year), static_cast<double>(month), static_cast<double>(day), 0.0};
}

DateValue localDateNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const double fraction =
        static_cast<double>(duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000) /
        1e6;
    std::tm local{};
    localtime_r(&seconds, &local);
    return {static_cast<double>(local.tm_year + 1900), static_cast<double>(local.tm_mon),
            static_cast<double>(local.tm_mday),
            local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction};
}

} // namespace

DateValue dateAfter2000(double seconds) {
    const double days = std::floor(seconds / kSecondsPerDay);
    DateValue date = civilDate(kDaysFrom1970To2000 + static_cast<long>(days));
    date[3] = seconds - days * kSecondsPerDay;
    return date;
}

DateValue frameDate(bool read, bool fixedClock, double time) {
    if (!read)
        return {};
    return fixedClock ? dateAfter2000(time) : localDateNow();
}
