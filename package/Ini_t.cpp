#include "package/Ini_t.h"

#include "package/Registry.h"

#include "platform/core/inifile.h"
#include "platform/core/lasterror.h"
#include "platform/core/localeformats.h"
#include "platform/gui/desktop.h"
#include "platform/gui/messages.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLocale>
#include <QMutex>
#include <QSet>
#include <QWidget>
#include <algorithm>

namespace {

const QString positionSection = QStringLiteral("Position");

// Keys lose their leading and trailing blanks and control characters.
QString trimKey(const QString& key) {
    qsizetype begin = 0, end = key.size();
    while (begin < end && key[begin].unicode() <= 32)
        ++begin;
    while (end > begin && key[end - 1].unicode() <= 32)
        --end;
    return key.mid(begin, end - begin);
}

// Numbers in the user's locale, without group separators, so that what is
// written reads back.
QLocale numberLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

using platform::longTimeFormat;
using platform::shortDateFormat;

QString dateText(const QDate& date) {
    return QLocale().toString(date, shortDateFormat());
}

QString dateTimeText(const QDateTime& value) {
    if (value.time() == QTime(0, 0))
        return dateText(value.date());
    return dateText(value.date()) + QLatin1Char(' ') +
           QLocale().toString(value.time(), longTimeFormat());
}

bool readDateTime(const QString& text, QDateTime* value) {
    const QLocale locale;
    const QString t = text.trimmed();
    QDateTime dt = locale.toDateTime(t, shortDateFormat() + QLatin1Char(' ') + longTimeFormat());
    if (!dt.isValid()) {
        const QDate date = locale.toDate(t, shortDateFormat());
        if (!date.isValid())
            return false;
        dt = QDateTime(date, QTime(0, 0));
    }
    *value = dt;
    return true;
}

int toInteger(const QString& text, bool* ok) {
    return text.trimmed().toInt(ok, 10);
}

// The settings file, or none when it cannot serve (it, or its lock file, is a
// FIFO, a folder or the like): the store then works on its defaults alone,
// and the user is told so once per file and run, not at every store.
std::unique_ptr<platform::IniFile> openSettings(const QString& fileName) {
    auto file = std::make_unique<platform::IniFile>(fileName);
    const QString reason = file->unusableReason();
    if (reason.isEmpty())
        return file;
    static QMutex reportedMutex;
    static QSet<QString> reported;
    {
        QMutexLocker lock(&reportedMutex);
        if (reported.contains(fileName))
            return nullptr;
        reported.insert(fileName);
    }
    platform::messageBox(QCoreApplication::applicationName(),
                         reason +
                             QStringLiteral("\r\nThe settings are neither read nor saved while "
                                            "it is there: the defaults are used."));
    return nullptr;
}

// A settings file that could not be written is reported once per file and
// run: the box would otherwise come back at every setting the program saves.
void reportUnsaved(const QString& fileName, int error) {
    static QMutex reportedMutex;
    static QSet<QString> reported;
    {
        QMutexLocker lock(&reportedMutex);
        if (reported.contains(fileName))
            return;
        reported.insert(fileName);
    }
    platform::messageBox(QCoreApplication::applicationName(),
                         QStringLiteral("The settings cannot be saved in %1: %2\r\nChanged "
                                        "settings are lost when the program ends.")
                             .arg(fileName, platform::lastErrorText(error)));
}

} // namespace

TIni_t::TIni_t(QObject* owner) : QObject(owner) {}

TIni_t::TIni_t(QObject* owner, const QString& fileName)
    : QObject(owner), iniFile(openSettings(fileName)) {}

TIni_t::TIni_t(QObject* owner, const QString& fileName, const QString& sectionName)
    : QObject(owner), iniFile(openSettings(fileName)), section(sectionName) {}

TIni_t::~TIni_t() = default;

void TIni_t::changeSection(const QString& sectionName) {
    section = sectionName;
}

void TIni_t::eraseSection(const QString& sectionName) {
    if (iniFile && !iniFile->eraseSection(sectionName))
        reportUnsaved(iniFile->fileName(), platform::lastError());
}

// --- raw text access --------------------------------------------------------

QString TIni_t::readText(const QString& key, bool& present) {
    present = iniFile && iniFile->valueExists(section, key);
    return present ? iniFile->readString(section, key, QString()) : QString();
}

void TIni_t::writeText(const QString& key, const QString& value) {
    if (iniFile && !iniFile->writeString(section, key, value))
        reportUnsaved(iniFile->fileName(), platform::lastError());
}

std::optional<QString> TIni_t::storedOrWriteDefault(const QString& key,
                                                    const QString& defaultText) {
    const QString k = trimKey(key);
    bool present;
    const QString text = readText(k, present);
    if (present)
        return text;
    writeText(k, defaultText);
    return std::nullopt;
}

// --- typed values in the current section ------------------------------------

static QString boolText(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

static QString doubleText(double value) {
    return numberLocale().toString(value, 'g', 15);
}

int TIni_t::get(const QString& key, int defaultValue) {
    const auto text = storedOrWriteDefault(key, QString::number(defaultValue));
    bool ok = false;
    const int value = text ? toInteger(*text, &ok) : 0;
    return ok ? value : defaultValue;
}

bool TIni_t::get(const QString& key, bool defaultValue) {
    const auto text = storedOrWriteDefault(key, boolText(defaultValue));
    bool ok = false;
    const int value = text ? toInteger(*text, &ok) : 0;
    return ok ? value != 0 : defaultValue;
}

double TIni_t::get(const QString& key, double defaultValue) {
    const auto text = storedOrWriteDefault(key, doubleText(defaultValue));
    bool ok = false;
    const double value = text ? numberLocale().toDouble(text->trimmed(), &ok) : 0;
    return ok ? value : defaultValue;
}

QString TIni_t::get(const QString& key, const QString& defaultValue) {
    return storedOrWriteDefault(key, defaultValue).value_or(defaultValue);
}

QString TIni_t::get(const QString& key, const char* defaultValue) {
    return get(key, QString::fromUtf8(defaultValue));
}

QDateTime TIni_t::get(const QString& key, const QDateTime& defaultValue) {
    // A default is written as its date alone.
    const auto text = storedOrWriteDefault(key, dateText(defaultValue.date()));
    QDateTime value;
    return text && readDateTime(*text, &value) ? value : defaultValue;
}

QString TIni_t::get(const QString& key) {
    bool present;
    return readText(trimKey(key), present);
}

void TIni_t::save(const QString& key, int value) {
    writeText(trimKey(key), QString::number(value));
}

void TIni_t::save(const QString& key, bool value) {
    writeText(trimKey(key), boolText(value));
}

void TIni_t::save(const QString& key, double value) {
    writeText(trimKey(key), doubleText(value));
}

void TIni_t::save(const QString& key, const QString& value) {
    writeText(trimKey(key), value);
}

void TIni_t::save(const QString& key, const char* value) {
    save(key, QString::fromUtf8(value));
}

void TIni_t::save(const QString& key, const QDateTime& value) {
    writeText(trimKey(key), dateTimeText(value));
}

// --- typed values in a named section ----------------------------------------

#define TINI_SECTION_FORMS(Type)                                                                   \
    Type TIni_t::get(const QString& sectionName, const QString& key, Type defaultValue) {          \
        changeSection(sectionName);                                                                \
        return get(key, defaultValue);                                                             \
    }                                                                                              \
    void TIni_t::save(const QString& sectionName, const QString& key, Type value) {                \
        changeSection(sectionName);                                                                \
        save(key, value);                                                                          \
    }

TINI_SECTION_FORMS(int)
TINI_SECTION_FORMS(bool)
TINI_SECTION_FORMS(double)
#undef TINI_SECTION_FORMS

QString TIni_t::get(const QString& sectionName, const QString& key, const QString& defaultValue) {
    changeSection(sectionName);
    return get(key, defaultValue);
}

QString TIni_t::get(const QString& sectionName, const QString& key, const char* defaultValue) {
    changeSection(sectionName);
    return get(key, defaultValue);
}

QDateTime TIni_t::get(const QString& sectionName, const QString& key,
                      const QDateTime& defaultValue) {
    changeSection(sectionName);
    return get(key, defaultValue);
}

void TIni_t::save(const QString& sectionName, const QString& key, const QString& value) {
    changeSection(sectionName);
    save(key, value);
}

void TIni_t::save(const QString& sectionName, const QString& key, const char* value) {
    changeSection(sectionName);
    save(key, value);
}

void TIni_t::save(const QString& sectionName, const QString& key, const QDateTime& value) {
    changeSection(sectionName);
    save(key, value);
}

// --- history lists -----------------------------------------------------------

static QString historyKey(const QString& prefix, int index) {
    return prefix + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

void TIni_t::get(QComboBox* box, const QString& sectionName, const QString& prefix, int count) {
    box->clear();
    box->clearEditText();
    changeSection(sectionName);
    for (int i = 0; i < count; ++i)
        box->addItem(get(historyKey(prefix, i), QString()));
}

void TIni_t::save(QComboBox* box, const QString& sectionName, const QString& prefix, int count) {
    changeSection(sectionName);
    for (int i = 0; i < count; ++i) {
        const QString entry = i < box->count() ? box->itemText(i) : QString();
        if (!entry.isEmpty())
            save(historyKey(prefix, i), entry);
    }
}

void TIni_t::getLastError(const char* caption) {
    platform::showLastError(QString::fromUtf8(caption));
}

// --- window positions --------------------------------------------------------

QString TIni_t::makePositionStr(int left, int top, int width, int height) {
    return QStringLiteral("%1 %2 %3 %4").arg(left).arg(top).arg(width).arg(height);
}

QRect TIni_t::bounds(const QWidget* control) {
    return QRect(control->pos(), control->size());
}

void TIni_t::setBounds(QWidget* control, int left, int top, int width, int height) {
    control->move(left, top);
    control->resize(width, height);
}

QString TIni_t::positionKey(QWidget* control, const char* variant) const {
    QString key = QStringLiteral("Form ") + control->objectName();
    if (variant) {
        key += QLatin1Char(' ');
        key += QLatin1Char(*variant);
    }
    return key;
}

namespace {

// The bounds a position stores. A window is never stored larger than the
// desktop's work area, frame and all, whatever stretched it: the next start
// would open it with its title bar or its edges off the screen.
QRect storedBounds(const QWidget* control) {
    QRect r = TIni_t::bounds(control);
    if (!control->isWindow())
        return r;
    const platform::DesktopGeometry desktop = platform::desktopGeometry();
    const QSize area(desktop.right - desktop.left, desktop.bottom - desktop.top);
    if (area.isEmpty())
        return r;
    const QSize frame = control->frameGeometry().size() - control->size();
    r.setWidth(std::min(r.width(), area.width() - frame.width()));
    r.setHeight(std::min(r.height(), area.height() - frame.height()));
    return r;
}

} // namespace

void TIni_t::savePosition(QWidget* control) {
    if (!control)
        return;
    changeSection(positionSection);
    const QRect r = storedBounds(control);
    save(positionKey(control, nullptr), makePositionStr(r.x(), r.y(), r.width(), r.height()));
}

void TIni_t::savePosition(QWidget* control, char variant) {
    if (!control)
        return;
    changeSection(positionSection);
    const QRect r = storedBounds(control);
    save(positionKey(control, &variant), makePositionStr(r.x(), r.y(), r.width(), r.height()));
}

void TIni_t::getPositionByKey(QWidget* control, const QString& key, int left, int top, int width,
                              int height) {
    changeSection(positionSection);
    QString text = get(key, makePositionStr(left, top, width, height)).trimmed() + QLatin1Char(' ');
    int numbers[4];
    for (int& number : numbers) {
        const qsizetype blank = text.indexOf(QLatin1Char(' '));
        const QString part = text.left(blank);
        bool ok;
        number = part.toInt(&ok, 10);
        if (!ok)
            throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(part));
        text.remove(0, blank + 1);
    }
    setBounds(control, numbers[0], numbers[1], numbers[2], numbers[3]);
}

void TIni_t::getPosition(QWidget* control) {
    if (!control)
        return;
    const QRect r = bounds(control);
    getPosition(control, r.x(), r.y(), r.width(), r.height());
}

void TIni_t::getPosition(QWidget* control, int left, int top, int width, int height) {
    if (!control)
        return;
    getPositionByKey(control, positionKey(control, nullptr), left, top, width, height);
}

void TIni_t::getPosition(QWidget* control, char variant, int left, int top, int width, int height) {
    if (!control)
        return;
    getPositionByKey(control, positionKey(control, &variant), left, top, width, height);
}

QRect TIni_t::centralBounds(int width, int height) {
    getScreen();
    const int left = areaLeft + std::max(0, (areaWidth - width) / 2);
    const int top = areaTop + std::max(0, (areaHeight - height) / 2);
    return QRect(left, top, width, height);
}

void TIni_t::getCentralPosition(QWidget* control, int width, int height) {
    const QRect r = centralBounds(width, height);
    getPosition(control, r.x(), r.y(), width, height);
}

void TIni_t::getCentralPosition(QWidget* control, char variant, int width, int height) {
    const QRect r = centralBounds(width, height);
    getPosition(control, variant, r.x(), r.y(), width, height);
}

void TIni_t::getScreen() {
    const platform::DesktopGeometry g = platform::desktopGeometry();
    if (!g.workAreaKnown)
        getLastError("TDM::TDM SystemParametersInfo");
    const int w = g.screenWidth, h = g.screenHeight;
    areaLeft = g.left;
    areaTop = g.top;
    // A screen at least twice as wide as high is taken for two screens side by
    // side, one at least as high as wide for two screens one above the other;
    // the window is then centred on the first of the two.
    if (h > 0 && w / (2 * h) != 0) {
        areaWidth = w / 2 - g.left;
        areaHeight = g.bottom;
    } else if (w > 0 && h / w != 0) {
        areaWidth = g.right;
        areaHeight = h / 2 - g.top;
    } else {
        areaWidth = g.right;
        areaHeight = g.bottom;
    }
}

namespace Ini_t {

void Register() {
    RegisterComponents(Tesk21::paletteName(), {&TIni_t::staticMetaObject});
}

void Initialize() {
    Tesk21::unitInitialized(QStringLiteral("Ini_t"));
}

void Finalize() {
    Tesk21::unitFinalized(QStringLiteral("Ini_t"), &TIni_t::staticMetaObject);
}

} // namespace Ini_t
