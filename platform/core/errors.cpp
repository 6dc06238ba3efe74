#include "platform/core/errors.h"

namespace platform {

QString exceptionMessage(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Exception*>(&e))
        return own->message();
    return QString::fromLocal8Bit(e.what());
}

} // namespace platform
