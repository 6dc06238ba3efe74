#pragma once
// The package's list of registered components and of initialised units. Each
// unit's Register puts its component on a page of the list (the page "Tesk"),
// and its Initialize and Finalize note the unit here; a form designer offers the
// widget components of the list (see the designer plugin).

#include "package/Tesk21global.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <initializer_list>

struct QMetaObject;

// One registered component: the palette page and the class.
struct TESK21_EXPORT TRegisteredComponent {
    QString page;
    const QMetaObject* metaObject = nullptr;

    QString className() const;
    // Whether the class is a visual control (it can be placed on a form).
    bool isWidget() const;
};

// Records each class on `page` of the package's list, each class once (a
// second registration moves it to the new page).
TESK21_EXPORT void RegisterComponents(const QString& page,
                                      std::initializer_list<const QMetaObject*> classes);

namespace Tesk21 {

// The palette page of every component of the package: "Tesk".
TESK21_EXPORT QString paletteName();
// The units initialised and not finalised since, in the order they were
// initialised.
TESK21_EXPORT QStringList initializedUnits();
// The registered components, in the order they were first registered.
TESK21_EXPORT QList<TRegisteredComponent> registeredComponents();

// For the units' own Initialize, Finalize and Register.
TESK21_EXPORT void unitInitialized(const QString& unit);
TESK21_EXPORT void unitFinalized(const QString& unit, const QMetaObject* component);

} // namespace Tesk21
