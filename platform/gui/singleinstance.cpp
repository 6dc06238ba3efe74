#include "platform/gui/singleinstance.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcInstance, "platform.instance", QtWarningMsg)

constexpr char request[] = "come forward\n";
constexpr char reply[] = "coming\n";
constexpr int retryMs = 50;

QString markerFolder(const QString& folder) {
    if (!folder.isEmpty())
        return folder;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

} // namespace

SingleInstance::SingleInstance(const QString& marker, const QString& folder, QObject* parent)
    : QObject(parent), path(QDir(markerFolder(folder)).filePath(marker)),
      lock(path + QStringLiteral(".lock")) {
    // Only a dead holder makes the lock stale, however long a copy runs.
    lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    // The socket goes before the lock: a copy that takes the lock next must
    // not find a live socket.
    server.reset();
}

SingleInstance::Claim SingleInstance::claim(int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (lock.tryLock(0)) {
            if (listen())
                return Claim::First;
            // A copy without the lock answered on the socket: it is the
            // running one.
            lock.unlock();
            return Claim::AnotherAsked;
        }
        if (lock.error() != QLockFile::LockFailedError) {
            // The lock file cannot be made at all (no runtime folder): run
            // rather than refuse to start.
            qCWarning(lcInstance, "Cannot create the lock file %s; running without it.",
                      qPrintable(lock.fileName()));
            listen();
            return Claim::First;
        }
        if (askRunningCopy(qBound(0, static_cast<int>(deadline.remainingTime()), 1000)))
            return Claim::AnotherAsked;
        if (deadline.hasExpired())
            return Claim::AnotherSilent;
        QThread::msleep(retryMs);
    }
}

// False when another copy answers on the socket.
bool SingleInstance::listen() {
    // A socket file already there belongs to a copy that answers on it, or
    // was left by a copy that was killed. The server is never asked to listen
    // over it: with access options it binds beside the file and renames its
    // socket over it, which would cut off a copy that still answers.
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        if (askRunningCopy(1000))
            return false;
        // Nobody answers on it.
        QLocalServer::removeServer(path);
    }
    server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        if (server->serverError() == QAbstractSocket::AddressInUseError) {
            if (askRunningCopy(1000)) {
                server.reset();
                return false;
            }
            QLocalServer::removeServer(path);
        }
        if (!server->listen(path)) {
            qCWarning(lcInstance, "Cannot listen on %s: %s", qPrintable(path),
                      qPrintable(server->errorString()));
            return true;
        }
    }
    connect(server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
            answer(socket);
        }
    });
    qCInfo(lcInstance, "Listening on %s", qPrintable(path));
    return true;
}

void SingleInstance::answer(QLocalSocket* socket) {
    if (!socket->canReadLine())
        return;
    const QByteArray line = socket->readLine(64);
    if (line != request) {
        socket->disconnectFromServer();
        return;
    }
    qCInfo(lcInstance, "Asked to come forward");
    emit comeForwardRequested();
    socket->write(reply);
    socket->flush();
    socket->disconnectFromServer();
}

bool SingleInstance::askRunningCopy(int waitMs) const {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(waitMs))
        return false;
    socket.write(request);
    if (!socket.waitForBytesWritten(waitMs))
        return false;
    // The running copy answers once it has come forward; a copy that took
    // the request and died meanwhile counts as asked all the same.
    while (!socket.canReadLine() && socket.waitForReadyRead(waitMs)) {
    }
    return true;
}

void bringToFront(QWidget* window) {
    if (window) {
        if (window->isMinimized())
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != window) {
        modal->raise();
        modal->activateWindow();
    }
}

} // namespace platform
