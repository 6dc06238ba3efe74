#include "package/designer/Teskplugin.h"

#include <QMetaClassInfo>
#include <QMetaObject>
#include <QWidget>

namespace {

// The size a component takes when it is dropped on a form.
QSize defaultSize(const QString& className) {
    if (className == QLatin1String("TNavPanel66"))
        return {180, 27};
    return {185, 105};
}

} // namespace

TTeskWidget::TTeskWidget(const TRegisteredComponent& registered) : component(registered) {}

QString TTeskWidget::name() const {
    return component.className();
}

QString TTeskWidget::group() const {
    return component.page;
}

QString TTeskWidget::toolTip() const {
    return classInfo("Description");
}

QString TTeskWidget::whatsThis() const {
    return classInfo("Description");
}

QString TTeskWidget::includeFile() const {
    return classInfo("IncludeFile");
}

QIcon TTeskWidget::icon() const {
    // The palette picture is named after the class in capitals.
    return QIcon(QStringLiteral(":/tesk21/%1.png").arg(name().toUpper()));
}

bool TTeskWidget::isContainer() const {
    // The two self-saving containers hold other controls; the navigation
    // panel holds only its own buttons.
    return name() != QLatin1String("TNavPanel66");
}

QWidget* TTeskWidget::createWidget(QWidget* parent) {
    QObject* made = component.metaObject->newInstance(Q_ARG(QWidget*, parent));
    return qobject_cast<QWidget*>(made);
}

void TTeskWidget::initialize(QDesignerFormEditorInterface*) {
    initialized = true;
}

QString TTeskWidget::domXml() const {
    const QSize size = defaultSize(name());
    // The object name starts in lower case and drops the class's leading T.
    QString objectName = name().mid(1);
    objectName[0] = objectName[0].toLower();
    return QStringLiteral("<ui language=\"c++\">"
                          "<widget class=\"%1\" name=\"%2\">"
                          "<property name=\"geometry\"><rect><x>0</x><y>0</y>"
                          "<width>%3</width><height>%4</height></rect></property>"
                          "</widget></ui>")
        .arg(name(), objectName)
        .arg(size.width())
        .arg(size.height());
}

QString TTeskWidget::classInfo(const char* key) const {
    const QMetaObject* meta = component.metaObject;
    const int index = meta->indexOfClassInfo(key);
    return index >= 0 ? QString::fromUtf8(meta->classInfo(index).value()) : QString();
}

TTeskWidgets::TTeskWidgets(QObject* parent) : QObject(parent) {
    Tesk21::Register();
    for (const TRegisteredComponent& component : Tesk21::registeredComponents()) {
        if (component.isWidget())
            widgets.push_back(std::make_unique<TTeskWidget>(component));
    }
}

TTeskWidgets::~TTeskWidgets() = default;

QList<QDesignerCustomWidgetInterface*> TTeskWidgets::customWidgets() const {
    QList<QDesignerCustomWidgetInterface*> list;
    for (const auto& widget : widgets)
        list.append(widget.get());
    return list;
}
