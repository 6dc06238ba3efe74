#pragma once
// Helpers shared by the build's stages: the message box of their error
// handlers.

#include <QString>

// Shows `text` under `caption` with an OK button and no icon; an empty text
// shows an empty box. Returns when the user has closed the box.
void msgBox(const char* caption, const QString& text);
