// Draws the build dialog's picture, an open book with a ribbon bookmark, and
// saves it as a 134 x 115 BMP:
//
//   make-picture "data/Bible left.bmp"
//
// The dialog treats the colour of the bottom-left pixel as see-through, so the
// background is one plain colour that the drawing itself never uses.

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

constexpr int width = 134;
constexpr int height = 115;
constexpr double spine = width / 2.0;

const QColor background(239, 239, 239);
const QColor cover(122, 28, 36);
const QColor coverEdge(84, 16, 22);
const QColor pageEdge(196, 184, 156);
const QColor ink(110, 112, 138);
const QColor gold(214, 164, 40);

// One page of the open book, left of the spine; `mirror` gives the right one.
// The page's top and bottom edges curve down towards the spine.
QPainterPath pagePath(double outer, double top, double bottom, double sag, bool mirror) {
    auto x = [&](double value) { return mirror ? width - value : value; };
    QPainterPath path;
    path.moveTo(x(outer), top);
    path.quadTo(x((outer + spine) / 2), top - sag, x(spine), top + 8);
    path.lineTo(x(spine), bottom + 8);
    path.quadTo(x((outer + spine) / 2), bottom - sag, x(outer), bottom);
    path.closeSubpath();
    return path;
}

void drawShadow(QPainter& p) {
    QRadialGradient shade(QPointF(spine, 106), 62);
    shade.setColorAt(0.0, QColor(0, 0, 0, 70));
    shade.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.save();
    p.translate(spine, 106);
    p.scale(1.0, 0.14);
    p.translate(-spine, -106);
    p.drawEllipse(QPointF(spine, 106), 62, 62);
    p.restore();
}

void drawCover(QPainter& p) {
    p.setPen(QPen(coverEdge, 1.2));
    p.setBrush(cover);
    for (bool mirror : {false, true})
        p.drawPath(pagePath(4, 32, 98, 14, mirror));
}

void drawPages(QPainter& p, bool mirror) {
    // The stack of pages under the open one shows as edges along the outside.
    p.setPen(QPen(pageEdge, 0.8));
    for (int layer = 3; layer >= 1; --layer) {
        p.setBrush(QColor(250 - 6 * layer, 244 - 6 * layer, 226 - 6 * layer));
        p.drawPath(pagePath(9 + layer, 27 + 1.6 * layer, 92 + 1.6 * layer, 14, mirror));
    }

    // The open page, shaded towards the spine.
    QLinearGradient paper(QPointF(mirror ? width - 9 : 9, 0), QPointF(spine, 0));
    paper.setColorAt(0.0, QColor(255, 252, 240));
    paper.setColorAt(0.75, QColor(250, 244, 224));
    paper.setColorAt(1.0, QColor(214, 202, 172));
    p.setPen(QPen(pageEdge, 0.8));
    p.setBrush(paper);
    p.drawPath(pagePath(9, 26, 91, 14, mirror));

    // Lines of text follow the curve of the page's top edge.
    auto x = [&](double value) { return mirror ? width - value : value; };
    p.setBrush(Qt::NoBrush);
    for (int line = 0; line < 9; ++line) {
        const double drop = 10 + line * 6.2;
        const double left = (line < 2 && !mirror) ? 26 : 16;
        QPainterPath text;
        text.moveTo(x(left), 23.2 + drop - (left - 16) * 0.15);
        text.quadTo(x((left + spine - 6) / 2), 13.5 + drop, x(spine - 6), 29.9 + drop);
        p.setPen(QPen(ink, line % 3 == 2 ? 0.9 : 1.3, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(text);
    }
}

// A decorated first letter: a small gold square at the top of the left page.
void drawInitial(QPainter& p) {
    p.setPen(QPen(QColor(150, 40, 40), 1.0));
    p.setBrush(gold);
    p.drawRoundedRect(QRectF(15.5, 30.5, 8, 9), 1.5, 1.5);
}

void drawRibbon(QPainter& p) {
    QPainterPath ribbon;
    ribbon.moveTo(spine - 2.5, 36);
    ribbon.cubicTo(spine - 1, 60, spine + 5, 80, spine + 2, 111);
    ribbon.lineTo(spine + 4.5, 107);
    ribbon.lineTo(spine + 7.5, 112);
    ribbon.cubicTo(spine + 10, 82, spine + 3, 60, spine + 2.5, 36);
    ribbon.closeSubpath();
    QLinearGradient silk(QPointF(spine - 3, 0), QPointF(spine + 9, 0));
    silk.setColorAt(0.0, QColor(232, 186, 62));
    silk.setColorAt(1.0, QColor(176, 124, 22));
    p.setPen(QPen(QColor(140, 96, 16), 0.8));
    p.setBrush(silk);
    p.drawPath(ribbon);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-picture <output.bmp>\n");
        return 2;
    }
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        drawShadow(p);
        drawCover(p);
        drawPages(p, false);
        drawPages(p, true);
        drawInitial(p);
        drawRibbon(p);
    }
    // The corner must keep the plain background: it names the see-through colour.
    if (image.pixelColor(0, height - 1) != background) {
        std::fprintf(stderr, "make-picture: the bottom-left pixel is not the background\n");
        return 1;
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "BMP")) {
        std::fprintf(stderr, "make-picture: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
