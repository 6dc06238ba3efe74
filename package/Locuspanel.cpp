#include "package/Locuspanel.h"

#include "package/Registry.h"

TLocusPanel::TLocusPanel(QWidget* owner) : QFrame(owner), bounds(this) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    restore();
}

// The bounds member saves the bounds.
TLocusPanel::~TLocusPanel() = default;

void TLocusPanel::setIniFile(const QString& fileName) {
    bounds.setIniFile(fileName);
}

void TLocusPanel::save() {
    bounds.save();
}

void TLocusPanel::restore() {
    bounds.restore();
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
