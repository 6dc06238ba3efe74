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

#include "package/Registry.h"
#include "package/Tesk21global.h"

#include <QString>
#include <QStringList>

namespace Tesk21 {

// The package's description text: "Tesk21".
TESK21_EXPORT QString description();
// The units in load order.
TESK21_EXPORT QStringList units();

// Initialise and finalise the units, in load order.
TESK21_EXPORT void Initialize();
TESK21_EXPORT void Finalize();

// Every unit's Register, in load order.
TESK21_EXPORT void Register();

} // namespace Tesk21

// The entry points by C name, for a loader that resolves them in the library.
extern "C" {
TESK21_EXPORT void Tesk21_Initialize();
TESK21_EXPORT void Tesk21_Finalize();
TESK21_EXPORT void Tesk21_Register();
}
