// Draws a program's icon from its SVG picture as PNG files, one per size, for
// the windows to carry in their title bars and task bars:
//
//   make-icon data/desktop/concordance-tips.svg data/icons/concordance-tips
//
// writes 16.png, 24.png, 32.png, 48.png, 64.png, 128.png and 256.png into the
// folder. The pictures are part of the sources, so that the programs need no
// SVG support at run time; regenerate them after changing an SVG picture.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    // Offscreen: the tool draws into images only and needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: make-icon <picture.svg> <folder>\n");
        return 2;
    }
    QSvgRenderer renderer(arguments[1]);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "make-icon: %s is not an SVG picture it can read\n",
                     qPrintable(arguments[1]));
        return 1;
    }
    const QDir folder(arguments[2]);
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "make-icon: cannot create the folder %s\n", qPrintable(folder.path()));
        return 1;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString path = folder.filePath(QStringLiteral("%1.png").arg(size));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "make-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
