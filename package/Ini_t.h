#pragma once
// TIni_t: the settings store of every program. One instance wraps one INI file
// and remembers a current section. Typed reads that find no value write the
// caller's default into the file and return it, so that after one run the file
// lists every setting a program asked for. It also keeps combo-box history lists
// and window positions.
//
// Values are written in the user's locale (decimal separator, date and time
// formats) and read back in the same forms.

#include <QDateTime>
#include <QObject>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>

#include "package/Tesk21global.h"
#include "platform/core/errors.h"

class QComboBox;
class QWidget;

namespace platform {
class IniFile;
}

using EConvertError = platform::EConvertError;

class TESK21_EXPORT TIni_t : public QObject {
    Q_OBJECT
public:
    // A store without a file: reads return their defaults, writes go nowhere.
    explicit TIni_t(QObject* owner);
    // A settings file that is there but is no regular file (a FIFO, a folder),
    // or whose lock file is not, is reported in a message box (once per file
    // and run) and left alone: the store then works as one without a file.
    TIni_t(QObject* owner, const QString& fileName);
    TIni_t(QObject* owner, const QString& fileName, const QString& section);
    ~TIni_t() override;

    // Work area used for centring; set by getScreen.
    int areaLeft = 0;
    int areaTop = 0;
    int areaWidth = 0;
    int areaHeight = 0;

    void changeSection(const QString& section);
    // Removes the section and its keys; the current section stays as it was.
    void eraseSection(const QString& section);
    const QString& currentSection() const { return section; }

    // Typed values in the current section. A missing key receives the default.
    int get(const QString& key, int defaultValue);
    bool get(const QString& key, bool defaultValue);
    double get(const QString& key, double defaultValue);
    QString get(const QString& key, const QString& defaultValue);
    QString get(const QString& key, const char* defaultValue);
    QDateTime get(const QString& key, const QDateTime& defaultValue);
    // The stored text, or "" when absent; writes nothing.
    QString get(const QString& key);

    void save(const QString& key, int value);
    void save(const QString& key, bool value);
    void save(const QString& key, double value);
    void save(const QString& key, const QString& value);
    void save(const QString& key, const char* value);
    void save(const QString& key, const QDateTime& value);

    // The same in a named section, which becomes the current section.
    int get(const QString& section, const QString& key, int defaultValue);
    bool get(const QString& section, const QString& key, bool defaultValue);
    double get(const QString& section, const QString& key, double defaultValue);
    QString get(const QString& section, const QString& key, const QString& defaultValue);
    QString get(const QString& section, const QString& key, const char* defaultValue);
    QDateTime get(const QString& section, const QString& key, const QDateTime& defaultValue);

    void save(const QString& section, const QString& key, int value);
    void save(const QString& section, const QString& key, bool value);
    void save(const QString& section, const QString& key, double value);
    void save(const QString& section, const QString& key, const QString& value);
    void save(const QString& section, const QString& key, const char* value);
    void save(const QString& section, const QString& key, const QDateTime& value);

    // History lists: entries "prefix[0]" .. "prefix[count-1]" of `section`.
    void get(QComboBox* box, const QString& section, const QString& prefix, int count);
    void save(QComboBox* box, const QString& section, const QString& prefix, int count);

    // Shows the system's text for the last error under `caption`, then resets
    // the error code to 0.
    void getLastError(const char* caption);

    // Window positions, in section "Position" under "Form <objectName>" (and
    // " <variant>" for the variant forms). The string is "left top width height".
    QString makePositionStr(int left, int top, int width, int height);
    void savePosition(QWidget* control);
    void savePosition(QWidget* control, char variant);
    // Raises EConvertError when the stored text is not four integers separated
    // by single blanks; the control then keeps its bounds.
    void getPosition(QWidget* control);
    void getPosition(QWidget* control, int left, int top, int width, int height);
    void getPosition(QWidget* control, char variant, int left, int top, int width, int height);
    void getCentralPosition(QWidget* control, int width, int height);
    void getCentralPosition(QWidget* control, char variant, int width, int height);
    void getScreen();
    // The bounds getCentralPosition gives a window of this size by default
    // (refreshes the work area first).
    QRect centralBounds(int width, int height);

    // A widget's bounds as positions store them: the frame's top-left corner
    // and the client size.
    static QRect bounds(const QWidget* control);
    static void setBounds(QWidget* control, int left, int top, int width, int height);

private:
    QString readText(const QString& key, bool& present);
    void writeText(const QString& key, const QString& value);
    // The key's stored text; when it is absent, writes `defaultText` under it
    // and returns nothing.
    std::optional<QString> storedOrWriteDefault(const QString& key, const QString& defaultText);
    QString positionKey(QWidget* control, const char* variant) const;
    void getPositionByKey(QWidget* control, const QString& key, int left, int top, int width,
                          int height);

    std::unique_ptr<platform::IniFile> iniFile;
    QString section;
};

// The unit Ini_t of the package (see package/Tesk21.h).
namespace Ini_t {
// Registers TIni_t on the palette page "Tesk".
TESK21_EXPORT void Register();
TESK21_EXPORT void Initialize();
TESK21_EXPORT void Finalize();
} // namespace Ini_t
