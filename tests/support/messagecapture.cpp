#include "tests/support/messagecapture.h"

#include "platform/core/messagesink.h"

#include <QMutex>

namespace testsupport {

namespace {
QMutex mutex;
QList<Box> captured;
} // namespace

MessageCapture::MessageCapture() {
    clear();
    platform::setMessageSink([](const QString& caption, const QString& text) {
        QMutexLocker lock(&mutex);
        captured.append({caption, text});
    });
}

MessageCapture::~MessageCapture() {
    platform::setMessageSink({});
}

QList<Box> MessageCapture::boxes() const {
    QMutexLocker lock(&mutex);
    return captured;
}

QStringList MessageCapture::lines() const {
    QStringList out;
    for (const Box& box : boxes())
        out << box.caption + QStringLiteral(": ") + box.text;
    return out;
}

qsizetype MessageCapture::count() const {
    QMutexLocker lock(&mutex);
    return captured.size();
}

void MessageCapture::clear() {
    QMutexLocker lock(&mutex);
    captured.clear();
}

} // namespace testsupport
