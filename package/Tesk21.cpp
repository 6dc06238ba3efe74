#include "package/Tesk21.h"

#include "package/Ini_t.h"
#include "package/Locusgroupbox.h"
#include "package/Locuspanel.h"
#include "package/Navpanel66.h"

#include <QMetaObject>
#include <QMutex>
#include <QWidget>
#include <algorithm>

namespace {

struct PackageState {
    QMutex mutex;
    QStringList initialized;
    QList<TRegisteredComponent> registered;
};

// Constructed on first use, so the entry points may run while the library's
// static objects are still being constructed.
PackageState& state() {
    static PackageState s;
    return s;
}

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

QString TRegisteredComponent::className() const {
    return metaObject ? QString::fromLatin1(metaObject->className()) : QString();
}

bool TRegisteredComponent::isWidget() const {
    return metaObject && metaObject->inherits(&QWidget::staticMetaObject);
}

void RegisterComponents(const QString& page, std::initializer_list<const QMetaObject*> classes) {
    PackageState& s = state();
    QMutexLocker lock(&s.mutex);
    for (const QMetaObject* meta : classes) {
        if (!meta)
            continue;
        const auto it = std::find_if(s.registered.begin(), s.registered.end(),
                                     [meta](const auto& c) { return c.metaObject == meta; });
        if (it != s.registered.end())
            it->page = page;
        else
            s.registered.append({page, meta});
    }
}

namespace Tesk21 {

QString description() {
    return QStringLiteral("Tesk21");
}

QString paletteName() {
    return QStringLiteral("Tesk");
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

QStringList initializedUnits() {
    PackageState& s = state();
    QMutexLocker lock(&s.mutex);
    return s.initialized;
}

void Register() {
    for (const Unit& unit : unitTable)
        unit.registerUnit();
}

QList<TRegisteredComponent> registeredComponents() {
    PackageState& s = state();
    QMutexLocker lock(&s.mutex);
    return s.registered;
}

void unitInitialized(const QString& unit) {
    PackageState& s = state();
    QMutexLocker lock(&s.mutex);
    if (!s.initialized.contains(unit))
        s.initialized.append(unit);
}

void unitFinalized(const QString& unit, const QMetaObject* component) {
    PackageState& s = state();
    QMutexLocker lock(&s.mutex);
    s.initialized.removeAll(unit);
    // A finalised unit's component leaves the list of registered components.
    s.registered.removeIf([component](const auto& c) { return c.metaObject == component; });
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
