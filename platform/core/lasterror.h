#pragma once
// The calling thread's last error code (errno) and the system's text for it.

#include <QString>

namespace platform {

int lastError();
void setLastError(int code);
// The system's description of `code`, in the user's language.
QString lastErrorText(int code);

} // namespace platform
