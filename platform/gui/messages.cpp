#include "platform/gui/messages.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {

// Shows the box. `wait`: modal, returning when the user has closed it. Else
// the box is window-modal to the active window (modeless when there is none)
// and the call returns at once, so whatever the user-interface thread is
// doing (a build letting its window process events, say) goes on meanwhile.
bool showBox(const QString& caption, const QString& text, MessageIcon icon, bool wait) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    // Texts carry Windows-style "\r\n" line breaks; a label wants "\n".
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const auto kind = icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
    if (wait) {
        QMessageBox box(kind, caption, shown, QMessageBox::Ok, QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return true;
    }
    auto* box =
        new QMessageBox(kind, caption, shown, QMessageBox::Ok, QApplication::activeWindow());
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(box->parentWidget() ? Qt::WindowModal : Qt::NonModal);
    box->show();
    return true;
}

// Every process that loads this library shows its boxes as windows.
[[maybe_unused]] const bool presenterInstalled = [] {
    setMessagePresenter(showBox);
    return true;
}();

} // namespace

} // namespace platform
