#pragma once
// The form designer's view of the package: a custom-widget collection that
// offers every widget component registered by the package's units (see
// package/Tesk21.h) in the widget box group of its palette page, "Tesk", each
// with its 24 x 24 icon.

#include "package/Tesk21.h"

#include <QIcon>
#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <memory>
#include <vector>

// One registered widget class as the designer sees it.
class TTeskWidget : public QDesignerCustomWidgetInterface {
public:
    explicit TTeskWidget(const TRegisteredComponent& component);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override;
    QWidget* createWidget(QWidget* parent) override;
    bool isInitialized() const override { return initialized; }
    void initialize(QDesignerFormEditorInterface* core) override;
    QString domXml() const override;

private:
    QString classInfo(const char* name) const;

    TRegisteredComponent component;
    bool initialized = false;
};

class TTeskWidgets : public QObject, public QDesignerCustomWidgetCollectionInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit TTeskWidgets(QObject* parent = nullptr);
    ~TTeskWidgets() override;

    QList<QDesignerCustomWidgetInterface*> customWidgets() const override;

private:
    std::vector<std::unique_ptr<TTeskWidget>> widgets;
};
