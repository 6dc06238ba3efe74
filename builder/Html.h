#pragma once
// The help launcher: a short-lived worker thread that opens a document with the
// desktop's handler, so the dialog never waits for it, and tells the user in
// plain words when the document could not be opened.

#include <QString>
#include <QThread>

class HtmlThread : public QThread {
    Q_OBJECT
public:
    // A suspended thread waits for start(); otherwise it starts at once, at
    // normal priority. Either way it deletes itself once it has finished.
    explicit HtmlThread(bool createSuspended);
    ~HtmlThread() override;

    // The document to open; set it before the thread starts.
    void setFileName(const QString& name);

    // Tells the user why opening `name` failed, from the shell's result code;
    // success codes (above 32) and codes without a message show nothing.
    static void showShellError(int code, const QString& name);
    // The message for `code`, or an empty text when there is none.
    static QString shellErrorText(int code, const QString& name);

    // How many help threads exist right now.
    static int liveCount();

protected:
    void run() override;
    // Opens the document and reports a failure. Runs once, on the new thread.
    virtual void Execute();

private:
    QString fileName;
};
