#pragma once
// The one way every program of the system shows a message box.
//
// A run with a user shows a modal box with an OK button. Tests and runs without
// a user install a sink: every box is then handed to the sink (caption and text)
// instead of being shown, so nothing ever waits for a click.

#include <QString>
#include <exception>
#include <functional>
#include <utility>

namespace platform {

enum class MessageIcon { None, Error };

using MessageSink = std::function<void(const QString& caption, const QString& text)>;

// Shows `text` under `caption` with an OK button only, modal. Callable from any
// thread: from a worker thread the box (or the sink's call) happens on the
// user-interface thread and the call returns at once; such a box is
// window-modal to the active window (modeless when there is none), so it holds
// up nothing the user-interface thread is doing meanwhile.
void messageBox(const QString& caption, const QString& text, MessageIcon icon = MessageIcon::None);

// Routes every later box to `sink` (an empty sink restores real boxes). Returns
// the sink that was installed before.
MessageSink setMessageSink(MessageSink sink);

// The toolkit's standard exception report: the exception's message in an error
// box captioned with the application's name.
void showException(const std::exception& e);

// Runs an event handler's work: an exception it raises is reported by
// showException instead of crossing the toolkit's event loop.
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

// Prints each box as "caption: text" on standard error; the sink of runs
// without a user.
void printMessage(const QString& caption, const QString& text);

} // namespace platform
