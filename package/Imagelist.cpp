#include "package/Imagelist.h"

TImageList::TImageList(QObject* owner, int width, int height)
    : QObject(owner), size(width, height) {}

int TImageList::Add(const QPixmap& image) {
    images.append(image.size() == size || image.isNull()
                      ? image
                      : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return Count() - 1;
}

QPixmap TImageList::image(int index) const {
    return index >= 0 && index < Count() ? images.at(index) : QPixmap();
}
