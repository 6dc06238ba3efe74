#pragma once
// Opening a document with the program the desktop associates with it.

#include <QString>

namespace platform {

// Opens `path` with the desktop's handler (xdg-open). The result follows the
// classic shell numbering: above 32 on success, otherwise an error code:
//   2  the file was not found         3  its folder was not found
//   5  access denied                  31 no program to open it
//   0  the system is out of resources 27 the handler failed in another way
// Blocks until the handler has taken the document; call it off the
// user-interface thread.
int openDocument(const QString& path);

} // namespace platform
