#include "package/Tesk21.h"

#include "package/Ini_t.h"
#include "package/Locusgroupbox.h"
#include "package/Locuspanel.h"
#include "package/Navpanel66.h"

namespace {

struct Unit {
    const char* name;
    void (*initialize)();
    void (*finalize)();
    void (*registerUnit)();
};

constexpr Unit unitTable[] = {
    {"Ini_t", Ini_t::Initialize, Ini_t::Finalize, Ini_t::Register},
    {"Locusgroupbox", Locusgroupbox::Initialize, Locusgroupbox::Finalize, Locusgroupbox::Register},
    {"Locuspanel", Locuspanel::Initialize, Locuspanel::Finalize, Locuspanel::Register},
    {"Navpanel66", Navpanel66::Initialize, Navpanel66::Finalize, Navpanel66::Register},
};

// The package is initialised when the library is loaded and finalised when it
// is unloaded, as a package loader would do.
struct LoadedPackage {
    LoadedPackage() { Tesk21::Initialize(); }
    ~LoadedPackage() { Tesk21::Finalize(); }
    LoadedPackage(const LoadedPackage&) = delete;
    LoadedPackage& operator=(const LoadedPackage&) = delete;
};
const LoadedPackage loadedPackage;

} // namespace

namespace Tesk21 {

QString description() {
    return QStringLiteral("Tesk21");
}

QStringList units() {
    QStringList names;
    for (const Unit& unit : unitTable)
        names << QString::fromLatin1(unit.name);
    return names;
}

void Initialize() {
    for (const Unit& unit : unitTable)
        unit.initialize();
}

void Finalize() {
    for (const Unit& unit : unitTable)
        unit.finalize();
}

void Register() {
    for (const Unit& unit : unitTable)
        unit.registerUnit();
}

} // namespace Tesk21

extern "C" {
void Tesk21_Initialize() {
    Tesk21::Initialize();
}
void Tesk21_Finalize() {
    Tesk21::Finalize();
}
void Tesk21_Register() {
    Tesk21::Register();
}
}
