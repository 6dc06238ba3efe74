#pragma once
// The rule the self-saving containers share: a container's bounds are kept in
// an INI file, in section "Position" under "Form " + its name, each read and
// write through a settings store of its own that is deleted at once, so the
// file is never held open.

#include <QString>

class QWidget;

namespace tesk21 {

// Stores the container's bounds in `iniFileName`; nothing when it is "".
void saveBounds(QWidget* container, const QString& iniFileName);
// Applies the bounds stored in `iniFileName`; when none are stored there,
// stores the current ones. Nothing when the name is "". A stored text that is
// not four integers raises EConvertError and the bounds stay.
void restoreBounds(QWidget* container, const QString& iniFileName);
// saveBounds from a destructor: a failure is reported, never thrown.
void saveBoundsOnDestruction(QWidget* container, const QString& iniFileName) noexcept;

} // namespace tesk21
