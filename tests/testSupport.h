#pragma once

// Small helpers shared by the test programs.

// The OOC moment at which the IC clock (daylight-saving correction 3600, no offset) stands half a second into
// IC second `icTime`, so that rounding cannot tip a field into the second before.
inline double oocAtIC(double icTime) {
    return (icTime + 0.5 - 24371635.0) * 11.0 / 45.0 + 3600.0;
}

// IC time of day count `day` at the given clock time.
inline double icTimeOf(long long day, int hour, int minute, int second) {
    return double(day) * 86400.0 + hour * 3600.0 + minute * 60.0 + second;
}

// IC time of day `yearDay` (1 to 360) of IC year `year` at the given clock time.
inline double icTimeOfYearDay(int year, int yearDay, int hour, int minute, int second) {
    return double(year - 411) * 31104000.0 + yearDay * 86400.0 + hour * 3600.0 + minute * 60.0 + second;
}
