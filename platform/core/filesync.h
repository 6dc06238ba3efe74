#pragma once
// Making a rename last: after a file has been renamed into place, its folder's
// entry must reach the disk as well, or a power cut can bring the old name back.

#include <QString>

namespace platform {

// Puts the entries of `folder` on disk (fsync of the folder itself). False when
// the folder cannot be opened or synced; the rename has happened all the same.
bool syncFolder(const QString& folder);

} // namespace platform
