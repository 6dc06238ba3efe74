// One running copy per marker: the socket file a killed copy leaves behind is
// replaced by a live one, and a socket someone answers on is never taken.
//
// A killed copy is stood in for by a Unix socket that was bound and closed
// without being removed, as the kernel leaves it when its process dies.

#include "platform/gui/singleinstance.h"

#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Leaves a socket file at `path` that nobody listens on.
bool leaveDeadSocket(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo(path).exists();
}

bool answers(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    return socket.waitForConnected(1000);
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void deadSocketIsReplaced() {
        QTemporaryDir dir;
        const QString path = dir.filePath("marker");
        QVERIFY(leaveDeadSocket(path));
        QVERIFY(!answers(path));
        platform::SingleInstance instance("marker", dir.path());
        QCOMPARE(instance.claim(2000), platform::SingleInstance::Claim::First);
        QVERIFY(answers(path));
    }

    // A copy that answers on the socket without holding the lock (its lock
    // file was deleted) stays the running one.
    void answeringSocketIsKept() {
        QTemporaryDir dir;
        QLocalServer running;
        QVERIFY(running.listen(dir.filePath("marker")));
        int asked = 0;
        connect(&running, &QLocalServer::newConnection, this, [&] {
            QLocalSocket* socket = running.nextPendingConnection();
            socket->waitForReadyRead(1000);
            asked += socket->readAll() == "come forward\n" ? 1 : 0;
            socket->write("coming\n");
            socket->flush();
        });
        platform::SingleInstance instance("marker", dir.path());
        // The answer comes from this thread's event loop: the claim counts a
        // request taken but not answered as asked.
        QCOMPARE(instance.claim(2000), platform::SingleInstance::Claim::AnotherAsked);
        QTRY_COMPARE(asked, 1);
        QVERIFY(answers(dir.filePath("marker")));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
