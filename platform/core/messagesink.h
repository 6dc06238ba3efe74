#pragma once
// The one way every program of the system reports a message to its user, as a
// box with a caption, a text and an OK button.
//
// Where the box goes is decided when it is reported, on the user-interface
// thread: to the sink, when one is installed (tests record boxes, and runs
// without a user print them); else to the presenter that a program with
// windows installs (platform/gui shows a real box); else, in a program without
// windows, to standard error as printMessage writes it.

#include <QString>
#include <exception>
#include <functional>
#include <utility>

namespace platform {

enum class MessageIcon { None, Error };

using MessageSink = std::function<void(const QString& caption, const QString& text)>;

// Shows the box; `wait`: modal, returning when the user has closed it, else
// without waiting. Returns false when it cannot show one (no window system),
// and the box is printed instead.
using MessagePresenter = bool (*)(const QString& caption, const QString& text, MessageIcon icon,
                                  bool wait);

// Reports `text` under `caption`, modal. Callable from any thread: from a
// worker thread the box (or the sink's call) happens on the user-interface
// thread and the call returns at once; such a box holds up nothing the
// user-interface thread is doing meanwhile.
void messageBox(const QString& caption, const QString& text, MessageIcon icon = MessageIcon::None);

// Routes every later box to `sink` (an empty sink restores the presenter).
// Returns the sink that was installed before.
MessageSink setMessageSink(MessageSink sink);

// Installs the way boxes are shown when no sink takes them; null prints them.
void setMessagePresenter(MessagePresenter presenter);

// The standard exception report: the exception's message in an error box
// captioned with the application's name.
void showException(const std::exception& e);

// Runs an event handler's work: an exception it raises is reported by
// showException instead of crossing the event loop.
template <typename Work> void reportExceptions(Work&& work) {
    try {
        std::forward<Work>(work)();
    } catch (const std::exception& e) {
        showException(e);
    }
}

// Shows the system's description of the calling thread's last error under
// `caption`, then sets the last error code back to 0.
void showLastError(const QString& caption);

// Prints a box as "caption: text" on standard error, its "\r\n" line breaks as
// "\n"; the sink of runs without a user.
void printMessage(const QString& caption, const QString& text);

} // namespace platform
