#include "package/Registry.h"

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

QString paletteName() {
    return QStringLiteral("Tesk");
}

QStringList initializedUnits() {
    PackageState& s = state();
    QMutexLocker lock(&s.mutex);
    return s.initialized;
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
