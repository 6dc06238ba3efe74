// The package as a library: it loads and its entry points resolve, loading
// initialises the units in order, Register lists every component on "Tesk",
// and the designer plugin offers the three widgets there.

#include "package/Ini_t.h"
#include "package/Locusgroupbox.h"
#include "package/Locuspanel.h"
#include "package/Navpanel66.h"
#include "package/Tesk21.h"

#include <QLibrary>
#include <QPluginLoader>
#include <QtTest>

#ifdef DESIGNER_PLUGIN
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#endif

namespace {
const QStringList unitOrder{"Ini_t", "Locusgroupbox", "Locuspanel", "Navpanel66"};
const QStringList classOrder{"TIni_t", "TLocusGroupBox", "TLocusPanel", "TNavPanel66"};

QStringList registered(const QString& page) {
    QStringList names;
    for (const TRegisteredComponent& c : Tesk21::registeredComponents())
        if (c.page == page)
            names << c.className();
    return names;
}
} // namespace

class TestPackage : public QObject {
    Q_OBJECT

private slots:
    void theLibraryLoadsWithItsEntryPoints() {
        QLibrary library(QStringLiteral(TESK21_FILE));
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        for (const char* name : {"Tesk21_Initialize", "Tesk21_Finalize", "Tesk21_Register"})
            QVERIFY2(library.resolve(name), name);
        QCOMPARE(Tesk21::description(), QString("Tesk21"));
    }

    void loadingInitialisesTheUnitsInOrder() {
        QCOMPARE(Tesk21::units(), unitOrder);
        QCOMPARE(Tesk21::initializedUnits(), unitOrder);
        Tesk21::Finalize();
        QVERIFY(Tesk21::initializedUnits().isEmpty());
        Tesk21::Initialize();
        Tesk21::Initialize();
        QCOMPARE(Tesk21::initializedUnits(), unitOrder);
    }

    void registerListsEveryComponentOnTesk() {
        Tesk21::Register();
        QCOMPARE(registered(QStringLiteral("Tesk")), classOrder);
        // Each class once, however often it registers.
        Navpanel66::Register();
        Ini_t::Register();
        QCOMPARE(registered(QStringLiteral("Tesk")), classOrder);
        // A finalised unit's component leaves the list; registering brings it back.
        Locuspanel::Finalize();
        QCOMPARE(registered(QStringLiteral("Tesk")),
                 QStringList({"TIni_t", "TLocusGroupBox", "TNavPanel66"}));
        Locuspanel::Initialize();
        Locuspanel::Register();
        QCOMPARE(registered(QStringLiteral("Tesk")).size(), 4);
    }

    void theDesignerPluginOffersTheWidgetsOnTesk() {
#ifndef DESIGNER_PLUGIN
        QSKIP("The designer plugin is not built here (no Qt Designer module)");
#else
        QPluginLoader loader(QStringLiteral(DESIGNER_PLUGIN));
        QObject* instance = loader.instance();
        QVERIFY2(instance, qPrintable(loader.errorString()));
        auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(instance);
        QVERIFY(collection);
        QStringList names;
        for (QDesignerCustomWidgetInterface* w : collection->customWidgets()) {
            names << w->name();
            QCOMPARE(w->group(), QString("Tesk"));
            QVERIFY(w->icon().availableSizes().contains(QSize(24, 24)));
            QVERIFY(w->domXml().contains(QStringLiteral("class=\"%1\"").arg(w->name())));
            QVERIFY(w->includeFile().startsWith(QStringLiteral("package/")));
            QWidget form;
            QWidget* made = w->createWidget(&form);
            QVERIFY(made);
            QCOMPARE(made->metaObject()->className(), w->name().toLatin1());
            QCOMPARE(made->parentWidget(), &form);
        }
        names.sort();
        QCOMPARE(names, QStringList({"TLocusGroupBox", "TLocusPanel", "TNavPanel66"}));
#endif
    }
};

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
