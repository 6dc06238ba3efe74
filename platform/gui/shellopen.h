#pragma once
// Opening a document with the program the desktop associates with it.

#include <QString>

namespace platform {

// Opens `path` with the desktop's handler (xdg-open). The result follows the
// classic shell numbering: above 32 on success, otherwise an error code:
//   2  the file was not found         3  its folder was not found
//   5  access denied                  31 no program to open it
//   0  the system is out of resources 27 the handler failed in another way
// In detail:
//   empty path, or no such file       2 (3 when its folder is missing too)
//   file not readable                 5
//   no xdg-open on PATH, or it cannot be started   31
//   xdg-open exits with 0             42 (success)
//   xdg-open exits with 2 (no file)   2
//   xdg-open exits with 3 or 4 (no handler, or the handler failed)   31
//   xdg-open exits with another code, or crashes   27
//   xdg-open still running after 30 s 42: the handler holds the document (some
//                                     keep xdg-open waiting while the viewer is
//                                     open); xdg-open is stopped, the viewer not
// Blocks until the handler has taken the document; call it off the
// user-interface thread.
int openDocument(const QString& path);

} // namespace platform
