#include "package/Placement.h"

#include "package/Ini_t.h"
#include "platform/core/errors.h"
#include "platform/gui/desktop.h"

#include <QRect>
#include <QWidget>

namespace {

// A stored place is applied as stored while it fits the desktop's work area.
// A window larger than the work area is cut to it along that side (and lies
// in it there): a size stored by a larger screen, or by hand, would otherwise
// make a window of any size. A window with nothing of it on the work area
// (stored on a screen that is gone) is centred instead.
void fitWorkArea(TIni_t& ini, QWidget* form) {
    const platform::DesktopGeometry desktop = platform::desktopGeometry();
    const QRect area(desktop.left, desktop.top, desktop.right - desktop.left,
                     desktop.bottom - desktop.top);
    if (area.isEmpty())
        return;
    const QRect stored = TIni_t::bounds(form);
    QRect fitted = stored;
    if (fitted.width() > area.width()) {
        fitted.setWidth(area.width());
        fitted.moveLeft(area.left());
    }
    if (fitted.height() > area.height()) {
        fitted.setHeight(area.height());
        fitted.moveTop(area.top());
    }
    if (!fitted.intersects(area))
        fitted = ini.centralBounds(fitted.width(), fitted.height());
    if (fitted != stored)
        TIni_t::setBounds(form, fitted.x(), fitted.y(), fitted.width(), fitted.height());
}

} // namespace

void placeWindow(TIni_t& ini, QWidget* form, int width, int height) {
    try {
        ini.getCentralPosition(form, width, height);
    } catch (const platform::EConvertError&) {
        const QRect central = ini.centralBounds(width, height);
        TIni_t::setBounds(form, central.x(), central.y(), central.width(), central.height());
        ini.savePosition(form);
    }
    fitWorkArea(ini, form);
}
