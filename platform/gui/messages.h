#pragma once
// Message boxes as windows. The reporting itself (platform::messageBox, the
// sink, printMessage) lives in platform/core/messagesink.h; a program that
// loads this library shows each box that no sink takes as a modal box with an
// OK button whenever it has a QApplication, and prints it otherwise.

#include "platform/core/messagesink.h"
