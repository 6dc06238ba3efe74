#pragma once
// The date and time a word list's header shows, such as "2026 Dec 07, 14:30":
// local time, the month by its English abbreviation, whatever the locale.
// Header-only, so the tools that write lists need no library for it.

#include <cstdio>
#include <ctime>
#include <string>

inline std::string today() {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char out[64];
    std::snprintf(out, sizeof out, "%04d %s %02d, %02d:%02d", local.tm_year + 1900,
                  months[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min);
    return out;
}
