#include "package/Locuspanel.h"

#include "package/Locusbounds.h"
#include "package/Registry.h"

TLocusPanel::TLocusPanel(QWidget* owner) : QFrame(owner) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    restore();
}

TLocusPanel::~TLocusPanel() {
    tesk21::saveBoundsOnDestruction(this, iniFileName);
}

void TLocusPanel::setIniFile(const QString& fileName) {
    save();
    iniFileName = fileName;
    restore();
}

void TLocusPanel::save() {
    tesk21::saveBounds(this, iniFileName);
}

void TLocusPanel::restore() {
    tesk21::restoreBounds(this, iniFileName);
}

namespace Locuspanel {

void Register() {
    RegisterComponents(Tesk21::paletteName(), {&TLocusPanel::staticMetaObject});
}

void Initialize() {
    Tesk21::unitInitialized(QStringLiteral("Locuspanel"));
}

void Finalize() {
    Tesk21::unitFinalized(QStringLiteral("Locuspanel"), &TLocusPanel::staticMetaObject);
}

} // namespace Locuspanel
