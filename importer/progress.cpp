#include "importer/progress.h"

#include <unistd.h>

Progress::Progress(FILE* out, bool terminal) : stream(out), tty(terminal) {}

Progress Progress::forStdout() {
    return Progress(stdout, isatty(fileno(stdout)) == 1);
}

void Progress::start(const QString& step, qint64 totalUnits) {
    interrupt();
    label = step;
    total = totalUnits;
    lastTenth = -1;
    sinceDraw.invalidate();
    sinceStart.start();
    update(0);
}

void Progress::update(qint64 done, const QString& detail) {
    const int percent = total > 0 ? int(qMin<qint64>(100, done * 100 / total)) : -1;
    QString line = label;
    if (percent >= 0)
        line += QStringLiteral(": %1%").arg(percent);
    else if (done > 0)
        line += QStringLiteral(": %1").arg(done);
    if (!detail.isEmpty())
        line += QStringLiteral(" (%1)").arg(detail);

    if (tty) {
        // Redraw at most ten times a second.
        if (sinceDraw.isValid() && sinceDraw.elapsed() < 100)
            return;
        sinceDraw.start();
        print(line, false);
    } else {
        // A line at each new tenth, but none for a step that ends within a
        // second: its last line says all.
        const int tenth = percent >= 0 ? percent / 10 : 0;
        if (tenth == lastTenth)
            return;
        lastTenth = tenth;
        if (sinceStart.elapsed() >= 1000)
            print(line, true);
    }
}

void Progress::finish(const QString& result) {
    QString line = label;
    if (!result.isEmpty())
        line += QStringLiteral(": ") + result;
    print(line, true);
}

void Progress::interrupt() {
    if (tty && lineOpen) {
        std::fputs("\n", stream);
        std::fflush(stream);
    }
    lineOpen = false;
    lastLength = 0;
}

void Progress::print(const QString& line, bool final) {
    const QByteArray text = line.toUtf8();
    if (tty) {
        QByteArray out = "\r" + text;
        // Blank out what is left of a longer previous line.
        if (lastLength > text.size())
            out += QByteArray(lastLength - text.size(), ' ');
        std::fputs(out.constData(), stream);
        lastLength = text.size();
        lineOpen = !final;
        if (final) {
            std::fputs("\n", stream);
            lastLength = 0;
        }
    } else {
        std::fputs(text.constData(), stream);
        std::fputs("\n", stream);
    }
    std::fflush(stream);
}
