#include "platform/gui/desktop.h"

#include "platform/core/lasterror.h"

#include <QGuiApplication>
#include <QScreen>
#include <cerrno>

namespace platform {

namespace {
std::optional<DesktopGeometry> geometryOverride;
}

DesktopGeometry desktopGeometry() {
    if (geometryOverride)
        return *geometryOverride;
    DesktopGeometry g;
    QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                          ? QGuiApplication::primaryScreen()
                          : nullptr;
    if (!screen) {
        setLastError(ENODEV);
        return g;
    }
    const QRect whole = screen->geometry();
    const QRect area = screen->availableGeometry();
    g.screenWidth = whole.width();
    g.screenHeight = whole.height();
    const QRect used = area.isValid() ? area : whole;
    g.workAreaKnown = area.isValid();
    if (!g.workAreaKnown)
        setLastError(ENODEV);
    g.left = used.x();
    g.top = used.y();
    g.right = used.x() + used.width();
    g.bottom = used.y() + used.height();
    return g;
}

void overrideDesktopGeometry(std::optional<DesktopGeometry> geometry) {
    geometryOverride = std::move(geometry);
}

} // namespace platform
