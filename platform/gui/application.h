#pragma once
// The application object of each program: the message loop, its title, and the
// standard report of an exception that escapes an event handler (the message is
// shown and the loop goes on, as the desktop toolkit's default handler does).

#include <QApplication>

namespace platform {

class Application : public QApplication {
public:
    Application(int& argc, char** argv, const QString& title);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace platform
