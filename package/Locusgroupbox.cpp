#include "package/Locusgroupbox.h"

#include "package/Registry.h"

TLocusGroupBox::TLocusGroupBox(QWidget* owner) : QGroupBox(owner), bounds(this) {
    restore();
}

// The bounds member saves the bounds.
TLocusGroupBox::~TLocusGroupBox() = default;

void TLocusGroupBox::setIniFile(const QString& fileName) {
    bounds.setIniFile(fileName);
}

void TLocusGroupBox::save() {
    bounds.save();
}

void TLocusGroupBox::restore() {
    bounds.restore();
}

namespace Locusgroupbox {

void Register() {
    RegisterComponents(Tesk21::paletteName(), {&TLocusGroupBox::staticMetaObject});
}

void Initialize() {
    Tesk21::unitInitialized(QStringLiteral("Locusgroupbox"));
}

void Finalize() {
    Tesk21::unitFinalized(QStringLiteral("Locusgroupbox"), &TLocusGroupBox::staticMetaObject);
}

} // namespace Locusgroupbox
