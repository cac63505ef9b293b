#pragma once

#include <functional>

// The one place that asks for "now". Every owner takes the moment through these functions, so a test can fix
// it by installing its own source.
namespace Clock {

// Seconds since 1970-01-01 00:00:00 UTC, fraction included.
double now();
// Seconds on a clock that changes of the wall clock never move and that goes on while the machine is
// suspended (where the system offers one); only differences mean anything.
double monotonicNow();

void setNowFunction(std::function<double()> source);
void setMonotonicFunction(std::function<double()> source);
// Back to the system's clocks.
void reset();

} // namespace Clock
