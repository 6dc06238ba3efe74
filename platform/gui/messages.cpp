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

void showBox(const QString& caption, const QString& text, MessageIcon icon) {
    // Texts carry Windows-style "\r\n" line breaks; a label wants "\n".
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                    caption, shown, QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
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
        // over and return, so a worker never waits for a click.
        QMetaObject::invokeMethod(
            app, [caption, text, icon] { messageBox(caption, text, icon); }, Qt::QueuedConnection);
        return;
    }
    if (MessageSink s = sink()) {
        s(caption, text);
        return;
    }
    if (!qobject_cast<QApplication*>(app)) {
        printMessage(caption, text);
        return;
    }
    showBox(caption, text, icon);
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
