// The self-saving containers, TLocusPanel and TLocusGroupBox alike (every case
// runs for both): no file, the first file, moved and restored, keys shared by
// name, a damaged position, detaching from the file.

#include "package/Ini_t.h"
#include "package/Locusgroupbox.h"
#include "package/Locuspanel.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

// A container of the kind named, on `form`, named `name`.
QWidget* makeContainer(const QString& kind, QWidget* form, const QString& name) {
    QWidget* w = kind == QLatin1String("panel") ? static_cast<QWidget*>(new TLocusPanel(form))
                                                : new TLocusGroupBox(form);
    w->setObjectName(name);
    return w;
}

void setIniFile(QWidget* container, const QString& file) {
    if (auto* panel = qobject_cast<TLocusPanel*>(container))
        panel->setIniFile(file);
    else
        qobject_cast<TLocusGroupBox*>(container)->setIniFile(file);
}

} // namespace

class TestLocusPanel : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString path() const { return dir->filePath(QStringLiteral("Test.data")); }
    QString stored(const QString& name) const {
        TIni_t ini(nullptr, path(), QStringLiteral("Position"));
        return ini.get(QStringLiteral("Form ") + name);
    }

    static void cases_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("TLocusPanel") << QStringLiteral("panel");
        QTest::newRow("TLocusGroupBox") << QStringLiteral("group box");
    }

private slots:
    void init() { dir = std::make_unique<QTemporaryDir>(); }

    void withoutFileNothingIsWritten_data() { cases_data(); }
    void withoutFileNothingIsWritten() {
        QFETCH(QString, kind);
        auto form = std::make_unique<QWidget>();
        QWidget* c = makeContainer(kind, form.get(), QStringLiteral("C"));
        c->setGeometry(5, 6, 70, 80);
        form.reset();
        QVERIFY(!QFile::exists(path()));
    }

    void theFirstFileStoresTheCurrentBounds_data() { cases_data(); }
    void theFirstFileStoresTheCurrentBounds() {
        QFETCH(QString, kind);
        QWidget form;
        QWidget* c = makeContainer(kind, &form, QStringLiteral("C"));
        c->setGeometry(10, 20, 200, 100);
        setIniFile(c, path());
        QCOMPARE(stored("C"), QString("10 20 200 100"));
        QCOMPARE(c->geometry(), QRect(10, 20, 200, 100));
    }

    void boundsAreRestoredNextTime_data() { cases_data(); }
    void boundsAreRestoredNextTime() {
        QFETCH(QString, kind);
        auto form = std::make_unique<QWidget>();
        QWidget* c = makeContainer(kind, form.get(), QStringLiteral("C"));
        setIniFile(c, path());
        c->setGeometry(30, 40, 150, 60);
        form.reset();
        QCOMPARE(stored("C"), QString("30 40 150 60"));

        QWidget next;
        QWidget* again = makeContainer(kind, &next, QStringLiteral("C"));
        setIniFile(again, path());
        QCOMPARE(again->geometry(), QRect(30, 40, 150, 60));
    }

    void equalNamesShareOneKey_data() { cases_data(); }
    void equalNamesShareOneKey() {
        QFETCH(QString, kind);
        auto first = std::make_unique<QWidget>();
        auto second = std::make_unique<QWidget>();
        QWidget* a = makeContainer(kind, first.get(), QStringLiteral("C"));
        QWidget* b = makeContainer(kind, second.get(), QStringLiteral("C"));
        setIniFile(a, path());
        setIniFile(b, path());
        a->setGeometry(1, 1, 50, 50);
        b->setGeometry(2, 2, 60, 60);
        second.reset();
        first.reset();
        QCOMPARE(stored("C"), QString("1 1 50 50"));

        // A form of the same name uses the same key.
        auto form = std::make_unique<QWidget>();
        form->setObjectName(QStringLiteral("C"));
        form->setGeometry(100, 100, 300, 200);
        TIni_t(nullptr, path()).savePosition(form.get());
        QWidget* c = makeContainer(kind, form.get(), QStringLiteral("C"));
        setIniFile(c, path());
        QCOMPARE(c->geometry(), QRect(100, 100, 300, 200));
    }

    void aDamagedPositionIsRefused_data() { cases_data(); }
    void aDamagedPositionIsRefused() {
        QFETCH(QString, kind);
        TIni_t(nullptr, path(), QStringLiteral("Position"))
            .save(QStringLiteral("Form C"), QStringLiteral("1 2 x 4"));
        QWidget form;
        QWidget* c = makeContainer(kind, &form, QStringLiteral("C"));
        c->setGeometry(7, 8, 90, 40);
        QVERIFY_THROWS_EXCEPTION(platform::EConvertError, setIniFile(c, path()));
        QCOMPARE(c->geometry(), QRect(7, 8, 90, 40));
    }

    void anEmptyNameSavesThenDetaches_data() { cases_data(); }
    void anEmptyNameSavesThenDetaches() {
        QFETCH(QString, kind);
        auto form = std::make_unique<QWidget>();
        QWidget* c = makeContainer(kind, form.get(), QStringLiteral("C"));
        setIniFile(c, path());
        c->setGeometry(3, 4, 50, 60);
        setIniFile(c, QString());
        QCOMPARE(stored("C"), QString("3 4 50 60"));
        c->setGeometry(9, 9, 99, 99);
        form.reset();
        QCOMPARE(stored("C"), QString("3 4 50 60"));
    }
};

QTEST_MAIN(TestLocusPanel)
#include "tst_locuspanel.moc"
