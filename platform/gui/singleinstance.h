#pragma once
// One running copy of a program per user, under a marker name.
//
// The copy that claims the marker holds a lock file "<marker>.lock" and
// listens on a local socket "<marker>", both in the user's runtime folder
// (XDG_RUNTIME_DIR, private to the user). A later copy fails to take the lock,
// asks the running copy over the socket to come forward, and ends.
//
//  - The lock decides between copies started at the same moment: exactly one
//    takes it. The lock ends with its holder's process, so a copy that was
//    killed blocks nobody: the next start finds the lock stale and takes it.
//  - A socket file left by a killed copy is removed only after a connection
//    to it has failed, so a copy that still answers is never cut off.
//  - A copy that fails to take the lock keeps trying to reach the running copy
//    for a while (it may still be starting), and to take the lock (it may be
//    ending).

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QWidget;

namespace platform {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,         // this is the running copy now
        AnotherAsked,  // another copy runs and has been asked to come forward
        AnotherSilent, // another copy holds the marker but did not answer
    };

    // `folder` empty: the user's runtime folder.
    explicit SingleInstance(const QString& marker, const QString& folder = QString(),
                            QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the marker, or asks the copy holding it to come forward, trying
    // for at most `waitMs` milliseconds.
    Claim claim(int waitMs = 10000);

signals:
    // A later copy asked this one to come forward.
    void comeForwardRequested();

private:
    bool listen();
    bool askRunningCopy(int waitMs) const;
    void answer(class QLocalSocket* socket);

    QString path;
    QLockFile lock;
    std::unique_ptr<QLocalServer> server;
};

// Shows the window (also when minimised) and raises it, and above it the
// program's open modal window, if any, as a copy that was asked to come
// forward does.
void bringToFront(QWidget* window);

} // namespace platform
