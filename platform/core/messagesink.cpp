#include "platform/core/messagesink.h"

#include "platform/core/errors.h"
#include "platform/core/lasterror.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <atomic>
#include <cstdio>

namespace platform {

namespace {

QMutex sinkMutex;
MessageSink currentSink;
std::atomic<MessagePresenter> currentPresenter{nullptr};

MessageSink sink() {
    QMutexLocker lock(&sinkMutex);
    return currentSink;
}

// The box, or the sink's call, on the user-interface thread.
void deliver(const QString& caption, const QString& text, MessageIcon icon, bool wait) {
    if (MessageSink s = sink()) {
        s(caption, text);
        return;
    }
    if (const MessagePresenter present = currentPresenter.load();
        present && present(caption, text, icon, wait))
        return;
    printMessage(caption, text);
}

} // namespace

MessageSink setMessageSink(MessageSink newSink) {
    QMutexLocker lock(&sinkMutex);
    std::swap(currentSink, newSink);
    return newSink;
}

void setMessagePresenter(MessagePresenter presenter) {
    currentPresenter.store(presenter);
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
