#include "package/Placement.h"

#include "package/Ini_t.h"
#include "platform/core/errors.h"

void placeWindow(TIni_t& ini, QWidget* form, int width, int height) {
    try {
        ini.getCentralPosition(form, width, height);
    } catch (const platform::EConvertError&) {
        const QRect central = ini.centralBounds(width, height);
        TIni_t::setBounds(form, central.x(), central.y(), central.width(), central.height());
        ini.savePosition(form);
    }
}
