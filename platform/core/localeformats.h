#pragma once
// The user's date and time forms, in shapes that read back what they write.

#include <QString>

namespace platform {

// The locale's short date format with the year in full: a two-digit year would
// read back in another century.
QString shortDateFormat();
// The locale's long time format without the time zone, which does not read back.
QString longTimeFormat();

} // namespace platform
