// Where settings and texts live: beside the programs while the program folder
// may be written, otherwise in the user's XDG folders; and a text's folder
// follows the same rule.

#include "concordance/textfolder.h"
#include "platform/core/process.h"
#include "platform/core/userfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

constexpr QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
constexpr QFile::Permissions writable = readOnly | QFile::WriteOwner;

// Sets an environment variable for the life of the object ("" unsets it).
class Variable {
public:
    Variable(const char* variable, const QByteArray& value)
        : name(variable), old(qgetenv(variable)) {
        set(value);
    }
    ~Variable() { set(old); }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

private:
    void set(const QByteArray& value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    const char* name;
    QByteArray old;
};

} // namespace

class TestUserFolders : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> root;
    QString program;

    QString path(const QString& name) const { return root->filePath(name) + QLatin1Char('/'); }

private slots:
    void init() {
        root = std::make_unique<QTemporaryDir>();
        program = path("app");
        QVERIFY(QDir().mkpath(program));
        platform::overrideProgramFolder(program);
    }
    void cleanup() {
        QFile::setPermissions(program, writable);
        platform::overrideProgramFolder(std::nullopt);
        root.reset();
    }

    // A folder no one may write is read-only for root as well, so that the
    // decision is the same whoever runs the program.
    void writableFolders_data() {
        QTest::addColumn<QString>("make");
        QTest::addColumn<bool>("writable");
        QTest::newRow("writable folder") << "folder 755" << true;
        QTest::newRow("no write bit") << "folder 555" << false;
        QTest::newRow("regular file") << "file" << false;
        QTest::newRow("missing") << "nothing" << false;
    }
    void writableFolders() {
        QFETCH(QString, make);
        const QString folder = root->filePath("f");
        if (make == "file") {
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (make.startsWith("folder")) {
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(::chmod(QFile::encodeName(folder).constData(),
                            make.section(' ', 1).toUInt(nullptr, 8)) == 0);
        }
        QTEST(platform::isWritableFolder(folder), "writable");
        QFile::setPermissions(folder, writable);
    }

    // The build tree, a copy in the home: everything stays beside the
    // programs, exactly as without user folders, and nothing else is made.
    void writableProgramFolderIsTheHome() {
        const Variable config("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        const Variable data("XDG_DATA_HOME", QFile::encodeName(path("data")));
        QVERIFY(platform::programFolderIsHome());
        QCOMPARE(platform::settingsFolder(), program);
        QCOMPARE(platform::dataFolder(), program);
        QCOMPARE(concordance::textFolder("KJV"), program + "Text/KJV/");
        QCOMPARE(concordance::textsFolder("Other"), program + "Other/");
        // The advice names the importer beside the programs.
        const QString advice = concordance::importAdvice("KJV");
        QVERIFY2(advice.contains(program + "import-text --sword KJV\r\n") &&
                     advice.contains("It goes to " + program + "Text/KJV/") &&
                     advice.endsWith(program + "Build Text KJV"),
                 qPrintable(advice));
        QVERIFY(!QFileInfo::exists(path("config")));
        QVERIFY(!QFileInfo::exists(path("data")));
    }

    // An installed program folder: the user's folders, made when missing and
    // for the user alone.
    void readOnlyProgramFolderSendsToTheXdgFolders() {
        const Variable config("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        const Variable data("XDG_DATA_HOME", QFile::encodeName(path("my data")));
        QVERIFY(QFile::setPermissions(program, readOnly));
        QVERIFY(!platform::programFolderIsHome());
        QCOMPARE(platform::settingsFolder(), path("config") + "concordance/");
        QCOMPARE(platform::dataFolder(), path("my data") + "concordance/");
        QCOMPARE(concordance::textFolder("KJV"), path("my data") + "concordance/Text/KJV/");
        for (const QString& made :
             {path("config") + "concordance", path("my data") + "concordance"}) {
            QVERIFY2(QFileInfo(made).isDir(), qPrintable(made));
            QCOMPARE(QFileInfo(made).permissions() & (QFile::ReadOther | QFile::WriteOther),
                     QFile::Permissions());
        }
    }

    // Unset or relative (which the XDG rules say to ignore): the defaults
    // below the home folder.
    void xdgDefaultsBelowTheHome_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("unset") << QByteArray();
        QTest::newRow("relative") << QByteArray("relative/folder");
    }
    void xdgDefaultsBelowTheHome() {
        QFETCH(QByteArray, value);
        const Variable home("HOME", QFile::encodeName(root->path()));
        const Variable config("XDG_CONFIG_HOME", value);
        const Variable data("XDG_DATA_HOME", value);
        QVERIFY(QFile::setPermissions(program, readOnly));
        QCOMPARE(platform::settingsFolder(), path(".config") + "concordance/");
        QCOMPARE(platform::dataFolder(), path(".local/share") + "concordance/");
    }
};

QTEST_GUILESS_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
