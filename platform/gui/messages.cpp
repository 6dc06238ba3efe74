#include "platform/gui/messages.h"

#include "platform/core/errors.h"
#include "platform/core/lasterror.h"

#include <QApplication>
#include <QMessageBox>
#include <QMutex>
#include <QThread>
#include <cstdio>

namespace platform {

namespace {

QMutex sinkMutex;
MessageSink currentSink;

MessageSink sink() {
    QMutexLocker lock(&sinkMutex);
    return currentSink;
}

// Shows the box. `wait`: modal, returning when the user has closed it. Else
// the box is window-modal to the active window (modeless when there is none)
// and the call returns at once, so whatever the user-interface thread is
// doing (a build letting its window process events, say) goes on meanwhile.
void showBox(const QString& caption, const QString& text, MessageIcon icon, bool wait) {
    // Texts carry Windows-style "\r\n" line breaks; a label wants "\n".
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const auto kind = icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
    if (wait) {
        QMessageBox box(kind, caption, shown, QMessageBox::Ok, QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return;
    }
    auto* box =
        new QMessageBox(kind, caption, shown, QMessageBox::Ok, QApplication::activeWindow());
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(box->parentWidget() ? Qt::WindowModal : Qt::NonModal);
    box->show();
}

// The box, or the sink's call, on the user-interface thread.
void deliver(const QString& caption, const QString& text, MessageIcon icon, bool wait) {
    if (MessageSink s = sink()) {
        s(caption, text);
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        printMessage(caption, text);
        return;
    }
    showBox(caption, text, icon, wait);
}

} // namespace

MessageSink setMessageSink(MessageSink newSink) {
    QMutexLocker lock(&sinkMutex);
    std::swap(currentSink, newSink);
    return newSink;
}

void messageBox(const QString& caption, const QString& text, MessageIcon icon) {
    auto* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // Boxes and sinks belong to the user-interface thread: hand the box
        // over and return, so a worker never waits for a click; and the box
        // must not hold up the user-interface thread either, whatever it is
        // doing when the box arrives.
        QMetaObject::invokeMethod(
            app, [caption, text, icon] { deliver(caption, text, icon, false); },
            Qt::QueuedConnection);
        return;
    }
    deliver(caption, text, icon, true);
}

void showException(const std::exception& e) {
    messageBox(QCoreApplication::applicationName(), exceptionMessage(e), MessageIcon::Error);
}

void showLastError(const QString& caption) {
    const QString text = lastErrorText(lastError());
    messageBox(caption, text);
    setLastError(0);
}

void printMessage(const QString& caption, const QString& text) {
    QString line = caption + QLatin1String(": ") + text;
    line.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace platform
