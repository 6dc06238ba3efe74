#include "lasterror.h"

#include "messages.h"

#include <cerrno>
#include <cstring>

namespace platform {

int lastError() {
    return errno;
}

void setLastError(int code) {
    errno = code;
}

QString lastErrorText(int code) {
    // strerror_r (GNU form) may return a static text instead of filling the buffer.
    char buffer[256];
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

void showLastError(const QString& caption) {
    const QString text = lastErrorText(lastError());
    messageBox(caption, text);
    setLastError(0);
}

} // namespace platform
