// Draws the pictures of the component package and saves them as PNG files into
// the folder given on the command line:
//
//   make-glyphs package/images
//
//  - nav0.png .. nav7.png: the 16 x 16 glyphs of the navigation panel's eight
//    buttons, in button order (start of the Bible, prior book, prior chapter,
//    prior verse, next verse, next chapter, next book, end of the Bible);
//  - TINI_T.png, TLOCUSGROUPBOX.png, TLOCUSPANEL.png, TNAVPANEL66.png: the
//    24 x 24 icons that represent each component in a form designer.
//
// Every picture uses at most the 16 colours of the classic palette and is saved
// with an indexed colour table plus one see-through entry.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QString>
#include <cstdio>

namespace {

// The classic 16-colour palette; the pictures draw with these only.
const QColor black(0, 0, 0);
const QColor navy(0, 0, 128);
const QColor maroon(128, 0, 0);
const QColor grey(128, 128, 128);
const QColor silver(192, 192, 192);
const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);
const QColor white(255, 255, 255);

QList<QRgb> palette() {
    QList<QRgb> colours{qRgba(0, 0, 0, 0)};
    for (const QColor& c :
         {black, maroon, QColor(0, 128, 0), QColor(128, 128, 0), navy, QColor(128, 0, 128),
          QColor(0, 128, 128), grey, silver, red, QColor(0, 255, 0), QColor(255, 255, 0), blue,
          QColor(255, 0, 255), QColor(0, 255, 255), white})
        colours.append(c.rgba());
    return colours;
}

QImage canvas(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

bool save(const QImage& image, const QDir& folder, const QString& name) {
    const QImage indexed =
        image.convertToFormat(QImage::Format_Indexed8, palette(), Qt::ThresholdDither);
    const QString path = folder.filePath(name);
    if (!indexed.save(path, "PNG")) {
        std::fprintf(stderr, "make-glyphs: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// A triangle pointing left with its tip at column `tip`, `width` columns wide
// and twice as high less one, centred on row 7.
void leftTriangle(QPainter& p, int tip, int width) {
    for (int i = 0; i < width; ++i)
        p.drawLine(tip + i, 7 - i, tip + i, 7 + i);
}

void bar(QPainter& p, int x) {
    p.drawLine(x, 2, x, 12);
    p.drawLine(x + 1, 2, x + 1, 12);
}

// The glyphs of buttons 0 to 3 point left; 4 to 7 are their mirror images.
QImage leftGlyph(int button) {
    QImage image = canvas(16);
    QPainter p(&image);
    p.setPen(navy);
    switch (button) {
    case 0: // start of the Bible: bar and double triangle
        bar(p, 1);
        leftTriangle(p, 3, 6);
        leftTriangle(p, 9, 6);
        break;
    case 1: // prior book: double triangle
        leftTriangle(p, 2, 6);
        leftTriangle(p, 8, 6);
        break;
    case 2: // prior chapter: bar and triangle
        bar(p, 3);
        leftTriangle(p, 5, 6);
        break;
    default: // prior verse: a small triangle
        leftTriangle(p, 5, 5);
        break;
    }
    return image;
}

QImage glyph(int button) {
    return button < 4 ? leftGlyph(button) : leftGlyph(7 - button).mirrored(true, false);
}

// A raised panel: silver face, white upper and left edges, grey lower and right.
void raisedPanel(QPainter& p, const QRect& r) {
    p.fillRect(r, silver);
    p.setPen(white);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(grey);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

// The place marker of the self-saving containers: a red pin with its point
// at (x, y).
void pin(QPainter& p, int x, int y) {
    p.setPen(maroon);
    p.setBrush(red);
    p.drawEllipse(QRect(x - 3, y - 9, 6, 6));
    p.setPen(black);
    p.drawLine(x, y - 3, x, y);
}

QImage iniIcon() {
    QImage image = canvas(24);
    QPainter p(&image);
    // A sheet of paper with a folded corner.
    const QPolygon sheet{{4, 1}, {15, 1}, {19, 5}, {19, 22}, {4, 22}};
    p.setPen(black);
    p.setBrush(white);
    p.drawPolygon(sheet);
    p.drawLine(15, 1, 15, 5);
    p.drawLine(15, 5, 19, 5);
    // A section line in brackets, then key=value lines.
    p.setPen(blue);
    p.drawLine(7, 5, 7, 7);
    p.drawLine(7, 5, 8, 5);
    p.drawLine(7, 7, 8, 7);
    p.drawLine(10, 6, 11, 6);
    p.drawLine(13, 5, 13, 7);
    p.drawLine(12, 5, 13, 5);
    p.drawLine(12, 7, 13, 7);
    for (int y : {10, 13, 16, 19}) {
        p.setPen(black);
        p.drawLine(7, y, 10, y);
        p.setPen(red);
        p.drawPoint(11, y - 1);
        p.drawPoint(11, y + 1);
        p.setPen(grey);
        p.drawLine(13, y, 16, y);
    }
    return image;
}

QImage navPanelIcon() {
    QImage image = canvas(24);
    QPainter p(&image);
    raisedPanel(p, QRect(0, 6, 24, 12));
    // Four small buttons with arrows: |< < > >|
    p.setPen(navy);
    for (int i = 0; i < 3; ++i) {
        p.drawLine(2 + i, 12 - i, 2 + i, 12 + i);
        p.drawLine(21 - i, 12 - i, 21 - i, 12 + i);
        p.drawLine(8 + i, 12 - i, 8 + i, 12 + i);
        p.drawLine(15 - i, 12 - i, 15 - i, 12 + i);
    }
    p.drawLine(1, 9, 1, 15);
    p.drawLine(22, 9, 22, 15);
    return image;
}

QImage locusPanelIcon() {
    QImage image = canvas(24);
    QPainter p(&image);
    raisedPanel(p, QRect(1, 5, 22, 17));
    pin(p, 12, 16);
    return image;
}

QImage locusGroupBoxIcon() {
    QImage image = canvas(24);
    QPainter p(&image);
    // An etched frame with a gap for the caption, drawn twice offset.
    for (const auto& [colour, d] : {std::pair{grey, 0}, std::pair{white, 1}}) {
        p.setPen(colour);
        p.drawLine(1 + d, 6 + d, 3 + d, 6 + d);
        p.drawLine(13 + d, 6 + d, 21 + d, 6 + d);
        p.drawLine(1 + d, 6 + d, 1 + d, 21 + d);
        p.drawLine(1 + d, 21 + d, 21 + d, 21 + d);
        p.drawLine(21 + d, 6 + d, 21 + d, 21 + d);
    }
    p.setPen(black);
    p.drawLine(5, 5, 11, 5);
    p.drawLine(5, 7, 9, 7);
    pin(p, 12, 18);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: make-glyphs FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "make-glyphs: cannot make %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (int i = 0; i < 8; ++i)
        ok = save(glyph(i), folder, QStringLiteral("nav%1.png").arg(i)) && ok;
    ok = save(iniIcon(), folder, QStringLiteral("TINI_T.png")) && ok;
    ok = save(locusGroupBoxIcon(), folder, QStringLiteral("TLOCUSGROUPBOX.png")) && ok;
    ok = save(locusPanelIcon(), folder, QStringLiteral("TLOCUSPANEL.png")) && ok;
    ok = save(navPanelIcon(), folder, QStringLiteral("TNAVPANEL66.png")) && ok;
    return ok ? 0 : 1;
}
