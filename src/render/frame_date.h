// The value of iDate: year, month counted from 0, day of the month and
// seconds since midnight.
#pragma once

#include <array>

using DateValue = std::array<double, 4>;

// The date seconds after 2000-01-01 at midnight, in no time zone: the fixed
// clock's date, the same on every machine.
DateValue dateAfter2000(double seconds);

// A frame's date: zeros when no program reads it, else the fixed clock's date
// at time or the local date and time now.
DateValue frameDate(bool read, bool fixedClock, double time);
