#pragma once
// Ending a program with a window as its user would: when the process is asked
// to end (SIGTERM, as at logout or from kill; SIGHUP when its terminal goes;
// SIGINT from Ctrl+C), the event loop ends as after closing the last window,
// so the windows are destroyed and save what they remember.

namespace platform {

// Call once, after the application object exists. False when the signals
// could not be taken (they then end the process at once, as before).
bool quitOnTerminationSignals();

} // namespace platform
