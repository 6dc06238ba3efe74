// Draws the programs' pictures and saves them as BMP files:
//
//   make-picture "data/Bible left.bmp"           the build dialog's picture, an
//                                                open book with a ribbon
//                                                bookmark, 134 x 115
//   make-picture --right "data/Bible right.bmp"  the tip window's picture, an
//                                                oil lamp alight on the same
//                                                book, closed, 135 x 115
//
// Both windows treat the colour of the bottom-left pixel as see-through, so
// the background is one plain colour that the drawings never use.

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <cstring>

namespace {

constexpr int width = 134;
constexpr int height = 115;
constexpr double spine = width / 2.0;
constexpr int rightWidth = 135;

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

// --- the tip window's picture --------------------------------------------------

// The closed book, lying flat and seen from a little above: the top cover, the
// edge of the pages along the front and the bottom cover under them.
void drawClosedBook(QPainter& p) {
    QRadialGradient shade(QPointF(67.5, 104), 64);
    shade.setColorAt(0.0, QColor(0, 0, 0, 70));
    shade.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.save();
    p.translate(67.5, 104);
    p.scale(1.0, 0.16);
    p.drawEllipse(QPointF(0, 0), 64, 64);
    p.restore();

    QPainterPath bottomCover;
    bottomCover.addRoundedRect(QRectF(9, 95, 117, 6), 2, 2);
    p.setPen(QPen(coverEdge, 1.0));
    p.setBrush(cover);
    p.drawPath(bottomCover);

    QLinearGradient paper(QPointF(0, 86), QPointF(0, 97));
    paper.setColorAt(0.0, QColor(255, 250, 234));
    paper.setColorAt(1.0, QColor(222, 210, 178));
    p.setPen(QPen(pageEdge, 0.8));
    p.setBrush(paper);
    p.drawRect(QRectF(13, 86, 110, 10));
    p.setPen(QPen(QColor(206, 194, 164), 0.6));
    for (double y = 88.5; y < 96; y += 2)
        p.drawLine(QPointF(14, y), QPointF(122, y));

    // The top cover: a flattened panel, lighter towards the back.
    QPainterPath top;
    top.moveTo(20, 72);
    top.lineTo(117, 72);
    top.lineTo(127, 86);
    top.lineTo(8, 86);
    top.closeSubpath();
    QLinearGradient leather(QPointF(0, 72), QPointF(0, 88));
    leather.setColorAt(0.0, QColor(150, 44, 52));
    leather.setColorAt(1.0, cover);
    p.setPen(QPen(coverEdge, 1.2));
    p.setBrush(leather);
    p.drawPath(top);
    // A gold rule round the cover and the spine's bands on the left.
    p.setPen(QPen(gold, 0.9));
    p.setBrush(Qt::NoBrush);
    QPainterPath rule;
    rule.moveTo(24, 74.5);
    rule.lineTo(113.5, 74.5);
    rule.lineTo(121, 84);
    rule.lineTo(15, 84);
    rule.closeSubpath();
    p.drawPath(rule);
    p.setPen(QPen(gold, 1.6));
    p.drawLine(QPointF(10, 97), QPointF(10, 100));
    p.drawLine(QPointF(16, 97), QPointF(16, 100));
}

// The glow of the flame over everything behind it; it fades out before the
// picture's edges.
void drawGlow(QPainter& p, QPointF flame) {
    constexpr double radius = 29;
    QRadialGradient glow(flame, radius);
    glow.setColorAt(0.0, QColor(255, 226, 120, 160));
    glow.setColorAt(0.5, QColor(255, 214, 110, 60));
    glow.setColorAt(1.0, QColor(255, 214, 110, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(flame, radius, radius);
}

// A brass oil lamp: a round body with a filling hole, a spout to the right and
// a ring handle to the left, standing on the book.
void drawLamp(QPainter& p) {
    // The handle behind the body.
    p.setPen(QPen(QColor(128, 86, 20), 4.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(28, 52, 18, 17), 60 * 16, 210 * 16);
    p.setPen(QPen(QColor(226, 176, 64), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(28, 52, 18, 17), 60 * 16, 210 * 16);

    QPainterPath body;
    body.moveTo(38, 66);
    body.cubicTo(38, 52, 58, 50, 70, 52);
    body.cubicTo(82, 53, 90, 55, 102, 52);
    body.cubicTo(106, 51, 108, 55, 104, 57);
    body.cubicTo(94, 62, 90, 66, 84, 70);
    body.cubicTo(74, 76, 44, 77, 38, 66);
    body.closeSubpath();
    QLinearGradient brass(QPointF(0, 50), QPointF(0, 76));
    brass.setColorAt(0.0, QColor(250, 214, 110));
    brass.setColorAt(0.45, QColor(214, 160, 44));
    brass.setColorAt(1.0, QColor(140, 94, 20));
    p.setPen(QPen(QColor(112, 74, 14), 1.0));
    p.setBrush(brass);
    p.drawPath(body);

    // The foot, the filling hole and a highlight.
    p.setBrush(QColor(168, 116, 28));
    p.drawRoundedRect(QRectF(50, 72, 24, 4), 1.5, 1.5);
    p.setBrush(QColor(90, 58, 12));
    p.drawEllipse(QRectF(56, 54, 12, 4));
    p.setPen(QPen(QColor(255, 240, 190, 200), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath shine;
    shine.moveTo(44, 60);
    shine.quadTo(50, 55, 58, 54.5);
    p.drawPath(shine);
}

void drawFlame(QPainter& p, QPointF base) {
    QPainterPath outer;
    outer.moveTo(base.x() - 4.5, base.y());
    outer.cubicTo(base.x() - 7, base.y() - 9, base.x() - 2, base.y() - 16, base.x() + 1,
                  base.y() - 27);
    outer.cubicTo(base.x() + 5, base.y() - 15, base.x() + 8, base.y() - 8, base.x() + 4.5,
                  base.y());
    outer.quadTo(base.x(), base.y() + 3, base.x() - 4.5, base.y());
    QLinearGradient fire(QPointF(0, base.y() - 27), QPointF(0, base.y() + 2));
    fire.setColorAt(0.0, QColor(232, 96, 24));
    fire.setColorAt(0.55, QColor(252, 176, 40));
    fire.setColorAt(1.0, QColor(255, 226, 120));
    p.setPen(Qt::NoPen);
    p.setBrush(fire);
    p.drawPath(outer);

    QPainterPath core;
    core.moveTo(base.x() - 2, base.y() - 1);
    core.cubicTo(base.x() - 3, base.y() - 6, base.x(), base.y() - 10, base.x() + 0.5,
                 base.y() - 15);
    core.cubicTo(base.x() + 3, base.y() - 9, base.x() + 3.5, base.y() - 5, base.x() + 2,
                 base.y() - 1);
    core.closeSubpath();
    p.setBrush(QColor(255, 250, 228));
    p.drawPath(core);
}

// Writes one picture as a BMP file; false when its bottom-left pixel is not the
// background or the file cannot be written.
bool save(const QImage& image, const char* fileName) {
    // The corner must keep the plain background: it names the see-through colour.
    if (image.pixelColor(0, image.height() - 1) != background) {
        std::fprintf(stderr, "make-picture: the bottom-left pixel is not the background\n");
        return false;
    }
    if (!image.save(QString::fromLocal8Bit(fileName), "BMP")) {
        std::fprintf(stderr, "make-picture: cannot write %s\n", fileName);
        return false;
    }
    return true;
}

QImage leftPicture() {
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
    return image;
}

QImage rightPicture() {
    QImage image(rightWidth, height, QImage::Format_RGB32);
    image.fill(background);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF flame(105, 53);
        drawGlow(p, QPointF(flame.x(), flame.y() - 13));
        drawClosedBook(p);
        drawLamp(p);
        drawFlame(p, flame);
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    const bool right = argc == 3 && std::strcmp(argv[1], "--right") == 0;
    if (argc != 2 && !right) {
        std::fprintf(stderr, "usage: make-picture [--right] <output.bmp>\n");
        return 2;
    }
    return save(right ? rightPicture() : leftPicture(), argv[argc - 1]) ? 0 : 1;
}
