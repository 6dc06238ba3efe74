#pragma once
// The calling thread's last error code (errno) and the system's text for it.

#include <QString>

namespace platform {

int lastError();
void setLastError(int code);
// The system's description of `code`, in the user's language.
QString lastErrorText(int code);

// Shows the system's description of the calling thread's last error under
// `caption`, then sets the last error code back to 0.
void showLastError(const QString& caption);

} // namespace platform
