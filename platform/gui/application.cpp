#include "platform/gui/application.h"

#include "platform/gui/messages.h"

namespace platform {

Application::Application(int& argc, char** argv, const QString& title) : QApplication(argc, argv) {
    // Only the name: a display name would be appended to every window title.
    setApplicationName(title);
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(e);
    }
    return false;
}

} // namespace platform
