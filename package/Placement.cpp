#include "package/Placement.h"

#include "package/Ini_t.h"
#include "platform/core/errors.h"
#include "platform/gui/desktop.h"

#include <QEvent>
#include <QMargins>
#include <QRect>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

QRect workArea() {
    const platform::DesktopGeometry desktop = platform::desktopGeometry();
    return QRect(desktop.left, desktop.top, desktop.right - desktop.left,
                 desktop.bottom - desktop.top);
}

// A stored place is applied as stored while the window lies wholly on the
// desktop's work area. A window larger than the work area is cut to it along
// that side: a size stored by a larger screen, or by hand, would otherwise
// make a window of any size. A window partly off the work area (stored at
// another scale factor or on a larger screen) is moved onto it, and one with
// nothing of it on the work area (stored on a screen that is gone) is centred.
// `frame` is what the window's frame adds around its client area, as far as
// it is known.
void fitWorkArea(TIni_t& ini, QWidget* form, const QMargins& frame) {
    const QRect area = workArea();
    if (area.isEmpty())
        return;
    // Bounds are the frame's top-left corner and the client's size.
    const QRect stored = TIni_t::bounds(form);
    QRect outer(stored.topLeft(), stored.size().grownBy(frame));
    const bool onArea = outer.intersects(area);
    outer.setWidth(std::min(outer.width(), area.width()));
    outer.setHeight(std::min(outer.height(), area.height()));
    outer.moveLeft(std::clamp(outer.left(), area.left(), area.right() + 1 - outer.width()));
    outer.moveTop(std::clamp(outer.top(), area.top(), area.bottom() + 1 - outer.height()));
    QRect fitted(outer.topLeft(), outer.size().shrunkBy(frame));
    if (!onArea)
        fitted = ini.centralBounds(fitted.width(), fitted.height());
    if (fitted != stored)
        TIni_t::setBounds(form, fitted.x(), fitted.y(), fitted.width(), fitted.height());
}

// The frame a window manager puts round a window is known only once the
// window is on the screen: fits the window again then, frame and all, once.
class FrameFit : public QObject {
public:
    explicit FrameFit(QWidget* form) : QObject(form), window(form) {
        form->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A platform that knows the frame when the window is shown sends no
        // move or resize after it; a window manager moves the window once it
        // has framed it.
        if (watched != window || !window->isVisible() ||
            (event->type() != QEvent::Show && event->type() != QEvent::Move &&
             event->type() != QEvent::Resize))
            return false;
        const QMargins frame =
            window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
        if (frame.isNull())
            return false;
        window->removeEventFilter(this);
        deleteLater();
        TIni_t ini(nullptr);
        fitWorkArea(ini, window, frame);
        return false;
    }

private:
    QWidget* window;
};

} // namespace

void placeWindow(TIni_t& ini, QWidget* form, int width, int height) {
    try {
        ini.getCentralPosition(form, width, height);
    } catch (const platform::EConvertError&) {
        const QRect central = ini.centralBounds(width, height);
        TIni_t::setBounds(form, central.x(), central.y(), central.width(), central.height());
        ini.savePosition(form);
    }
    fitWorkArea(ini, form, QMargins());
    new FrameFit(form);
}
