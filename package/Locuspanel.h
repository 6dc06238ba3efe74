#pragma once
// TLocusPanel: a panel that remembers its place and size. Once told the path
// of an INI file (setIniFile) it takes its bounds from there, and it stores
// them again before it is destroyed, in section "Position" under "Form "
// followed by its object name.

#include "package/Locusbounds.h"
#include "package/Tesk21global.h"

#include <QFrame>
#include <QString>

class TESK21_EXPORT TLocusPanel : public QFrame {
    Q_OBJECT
    Q_CLASSINFO("IncludeFile", "package/Locuspanel.h")
    Q_CLASSINFO("Description", "A panel that keeps its bounds in a settings file")
public:
    Q_INVOKABLE explicit TLocusPanel(QWidget* owner = nullptr);
    // Saves the bounds to the file set last.
    ~TLocusPanel() override;

    // Saves to the file named so far, takes `fileName` ("" detaches the panel
    // from any file) and restores from it.
    void setIniFile(const QString& fileName);
    void save();
    void restore();
    // The file set last; "" when none.
    const QString& fileName() const { return bounds.fileName(); }

private:
    tesk21::LocusBounds bounds;
};

// The unit Locuspanel of the package (see package/Tesk21.h).
namespace Locuspanel {
// Registers TLocusPanel on the palette page "Tesk".
TESK21_EXPORT void Register();
TESK21_EXPORT void Initialize();
TESK21_EXPORT void Finalize();
} // namespace Locuspanel
