#pragma once
// The component package Tesk21 as a whole. Its units, in load order, are
// Ini_t, Locusgroupbox, Locuspanel and Navpanel66; each has Initialize and
// Finalize, which the package's own entry points call in that order, and
// Register, which puts the unit's component on a page of the package's list of
// registered components (the page "Tesk"). A form designer offers the widget
// components of that list (see the designer plugin); a program may call every
// entry point directly.
//
// Loading the library initialises the package and unloading finalises it;
// both entry points may be called again and do nothing the second time.

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

// The package's description text: "Tesk21".
TESK21_EXPORT QString description();
// The palette page of every component of the package: "Tesk".
TESK21_EXPORT QString paletteName();
// The units in load order.
TESK21_EXPORT QStringList units();

// Initialise and finalise the units, in load order.
TESK21_EXPORT void Initialize();
TESK21_EXPORT void Finalize();
// The units initialised and not finalised since, in the order they were
// initialised.
TESK21_EXPORT QStringList initializedUnits();

// Every unit's Register, in load order.
TESK21_EXPORT void Register();
// The registered components, in the order they were first registered.
TESK21_EXPORT QList<TRegisteredComponent> registeredComponents();

// For the units' own Initialize, Finalize and Register.
TESK21_EXPORT void unitInitialized(const QString& unit);
TESK21_EXPORT void unitFinalized(const QString& unit, const QMetaObject* component);

} // namespace Tesk21

// The entry points by C name, for a loader that resolves them in the library.
extern "C" {
TESK21_EXPORT void Tesk21_Initialize();
TESK21_EXPORT void Tesk21_Finalize();
TESK21_EXPORT void Tesk21_Register();
}
