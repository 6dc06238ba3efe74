#pragma once
// What the self-saving containers (TLocusPanel, TLocusGroupBox) share: a
// container's bounds are kept in an INI file, in section "Position" under
// "Form " + its name, each read and write through a settings store of its own
// that is deleted at once, so the file is never held open.

#include <QString>

class QWidget;

namespace tesk21 {

// The INI file of one container and the container's bounds in it. A member
// of the container: it is destroyed after the container's own destructor and
// before the container's base, while the container still has its name and
// bounds.
class LocusBounds {
public:
    explicit LocusBounds(QWidget* owner) : container(owner) {}
    // Saves the bounds to the file set last; a failure is reported, never
    // thrown.
    ~LocusBounds();
    LocusBounds(const LocusBounds&) = delete;
    LocusBounds& operator=(const LocusBounds&) = delete;

    // Saves to the file named so far, takes `fileName` ("" detaches the
    // container from any file) and restores from it.
    void setIniFile(const QString& fileName);
    // Stores the container's bounds in the file; nothing without a file.
    void save();
    // Applies the bounds stored in the file; when none are stored there,
    // stores the current ones. Nothing without a file. A stored text that is
    // not four integers raises EConvertError and the bounds stay.
    void restore();
    // The file set last; "" when none.
    const QString& fileName() const { return iniFileName; }

private:
    QWidget* container;
    QString iniFileName;
};

} // namespace tesk21
