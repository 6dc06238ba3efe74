#include "package/Locusbounds.h"

#include "package/Ini_t.h"
#include "platform/gui/messages.h"

#include <QWidget>

namespace tesk21 {

LocusBounds::~LocusBounds() {
    try {
        save();
    } catch (const std::exception& e) {
        platform::showException(e);
    } catch (...) {
        // Nothing more can be done while the container goes.
    }
}

void LocusBounds::setIniFile(const QString& fileName) {
    save();
    iniFileName = fileName;
    restore();
}

void LocusBounds::save() {
    if (iniFileName.isEmpty())
        return;
    TIni_t ini(container, iniFileName);
    ini.savePosition(container);
}

void LocusBounds::restore() {
    if (iniFileName.isEmpty())
        return;
    TIni_t ini(container, iniFileName);
    ini.getPosition(container);
}

} // namespace tesk21
