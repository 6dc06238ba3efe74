#pragma once
// The pictures the programs show beside their controls.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace platform {

// The picture in `fileName` at its natural size, with the colour of its
// bottom-left pixel see-through (the desktop toolkit's rule for a transparent
// picture). Raises EFOpenError naming the file when it is missing or is not a
// picture.
QPixmap loadTransparentPicture(const QString& fileName);

// The icon `name` that a program's windows carry, from the PNG pictures of its
// sizes in the program's resources (":/icons/<name>/<size>.png"). A null icon
// when the program holds none by that name.
QIcon programIcon(const QString& name);

} // namespace platform
