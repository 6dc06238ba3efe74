#pragma once
// Captures every message box while it lives: each box is recorded (caption and
// text) instead of being shown, from any thread, so a test reads what the user
// would have seen and nothing waits for a click.

#include <QList>
#include <QString>
#include <QStringList>

namespace testsupport {

struct Box {
    QString caption;
    QString text;
    bool operator==(const Box&) const = default;
};

class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    QList<Box> boxes() const;
    // Each box as "caption: text".
    QStringList lines() const;
    qsizetype count() const;
    void clear();
};

} // namespace testsupport
