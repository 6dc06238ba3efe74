#include "package/Locusbounds.h"

#include "package/Ini_t.h"
#include "platform/gui/messages.h"

#include <QWidget>

namespace tesk21 {

void saveBounds(QWidget* container, const QString& iniFileName) {
    if (iniFileName.isEmpty())
        return;
    TIni_t ini(container, iniFileName);
    ini.savePosition(container);
}

void restoreBounds(QWidget* container, const QString& iniFileName) {
    if (iniFileName.isEmpty())
        return;
    TIni_t ini(container, iniFileName);
    ini.getPosition(container);
}

void saveBoundsOnDestruction(QWidget* container, const QString& iniFileName) noexcept {
    try {
        saveBounds(container, iniFileName);
    } catch (const std::exception& e) {
        platform::showException(e);
    } catch (...) {
        // Nothing more can be done while the container goes.
    }
}

} // namespace tesk21
