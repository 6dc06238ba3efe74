#include "platform/core/lasterror.h"

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

} // namespace platform
