#include "package/Locusgroupbox.h"

#include "package/Locusbounds.h"
#include "package/Registry.h"

TLocusGroupBox::TLocusGroupBox(QWidget* owner) : QGroupBox(owner) {
    restore();
}

TLocusGroupBox::~TLocusGroupBox() {
    tesk21::saveBoundsOnDestruction(this, iniFileName);
}

void TLocusGroupBox::setIniFile(const QString& fileName) {
    save();
    iniFileName = fileName;
    restore();
}

void TLocusGroupBox::save() {
    tesk21::saveBounds(this, iniFileName);
}

void TLocusGroupBox::restore() {
    tesk21::restoreBounds(this, iniFileName);
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
