#include "platform/gui/picture.h"

#include "platform/core/errors.h"

#include <QBitmap>
#include <QDir>
#include <QFileInfo>
#include <QImage>

namespace platform {

QPixmap loadTransparentPicture(const QString& fileName) {
    QImage picture;
    if (!QFileInfo(fileName).isFile() || !picture.load(fileName))
        throw EFOpenError(QStringLiteral("Cannot open the picture \"%1\": the file is "
                                         "missing or is not a picture.")
                              .arg(fileName));
    QPixmap pixmap = QPixmap::fromImage(picture);
    const QColor transparent = picture.pixelColor(0, picture.height() - 1);
    pixmap.setMask(pixmap.createMaskFromColor(transparent, Qt::MaskInColor));
    return pixmap;
}

QIcon programIcon(const QString& name) {
    QIcon icon;
    const QDir folder(QStringLiteral(":/icons/") + name);
    for (const QString& file : folder.entryList({QStringLiteral("*.png")}, QDir::Files))
        icon.addFile(folder.filePath(file));
    return icon;
}

} // namespace platform
