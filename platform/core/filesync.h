#pragma once
// Making a file and its rename last: a file written without the engine's own
// syncing must reach the disk before it is renamed into place, and after the
// rename its folder's entry as well, or a power cut can bring the old name back.

#include <QString>

namespace platform {

// Puts the entries of `folder` on disk (fsync of the folder itself). False when
// the folder cannot be opened or synced; the rename has happened all the same.
bool syncFolder(const QString& folder);
// Puts the file's contents on disk (fdatasync). False when it cannot.
bool syncFile(const QString& path);

} // namespace platform
