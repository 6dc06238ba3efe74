#pragma once
// TLocusGroupBox: a group box that remembers its place and size, as TLocusPanel
// does: once told the path of an INI file (setIniFile) it takes its bounds
// from there, and it stores them again before it is destroyed, in section
// "Position" under "Form " followed by its object name.

#include "package/Locusbounds.h"
#include "package/Tesk21global.h"

#include <QGroupBox>
#include <QString>

class TESK21_EXPORT TLocusGroupBox : public QGroupBox {
    Q_OBJECT
    Q_CLASSINFO("IncludeFile", "package/Locusgroupbox.h")
    Q_CLASSINFO("Description", "A group box that keeps its bounds in a settings file")
public:
    Q_INVOKABLE explicit TLocusGroupBox(QWidget* owner = nullptr);
    // Saves the bounds to the file set last.
    ~TLocusGroupBox() override;

    // Saves to the file named so far, takes `fileName` ("" detaches the box
    // from any file) and restores from it.
    void setIniFile(const QString& fileName);
    void save();
    void restore();
    // The file set last; "" when none.
    const QString& fileName() const { return bounds.fileName(); }

private:
    tesk21::LocusBounds bounds;
};

// The unit Locusgroupbox of the package (see package/Tesk21.h).
namespace Locusgroupbox {
// Registers TLocusGroupBox on the palette page "Tesk".
TESK21_EXPORT void Register();
TESK21_EXPORT void Initialize();
TESK21_EXPORT void Finalize();
} // namespace Locusgroupbox
