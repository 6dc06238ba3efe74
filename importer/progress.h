#pragma once
// Progress of a long step on the terminal: one line that is rewritten in place
// when the output is a terminal, otherwise a line at every tenth of the way
// once the step has taken a second.

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

class Progress {
public:
    // `out` is where the progress goes; `terminal` whether it is a terminal
    // (lines rewritten in place) or a file or pipe (a line per tenth).
    explicit Progress(FILE* out, bool terminal);
    // Progress on standard output, rewritten in place when that is a terminal.
    static Progress forStdout();

    // Starts a step of `total` units (0 when the total is unknown).
    void start(const QString& step, qint64 total);
    // `done` units of the step are done; `detail` says where (a book, say).
    void update(qint64 done, const QString& detail = QString());
    // Ends the step with a last line.
    void finish(const QString& result = QString());
    // Clears an unfinished line, so that a message can follow.
    void interrupt();

private:
    void print(const QString& line, bool final);

    FILE* stream;
    bool tty;
    QString label;
    qint64 total = 0;
    int lastTenth = -1;
    bool lineOpen = false;
    qsizetype lastLength = 0;
    QElapsedTimer sinceDraw;
    QElapsedTimer sinceStart;
};
