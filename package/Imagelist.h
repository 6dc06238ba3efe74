#pragma once
// TImageList: a list of same-sized images, from which controls take their
// glyphs by index (the navigation panel's buttons take image i for button i).

#include "package/Tesk21global.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QSize>

class TESK21_EXPORT TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(QObject* owner = nullptr, int width = 16, int height = 16);

    int Width() const { return size.width(); }
    int Height() const { return size.height(); }
    int Count() const { return static_cast<int>(images.size()); }
    // Appends the image, scaled to the list's size when it differs; returns
    // its index.
    int Add(const QPixmap& image);
    // Image `index`, or a null pixmap outside 0..Count-1.
    QPixmap image(int index) const;
    void Clear() { images.clear(); }

private:
    QSize size;
    QList<QPixmap> images;
};
