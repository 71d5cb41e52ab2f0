#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QPointer>

#include <unistd.h>

namespace {

const QByteArray kShowRequest = QByteArrayLiteral("show\n");
constexpr int kConnectTimeoutMs = 1000;

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent)
    , m_name(std::move(name))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

QString SingleInstance::defaultName()
{
    const QString file = QStringLiteral("tavox-utility-%1").arg(::getuid());
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString dir = !runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()
        ? QString::fromLocal8Bit(runtime)
        : QDir::tempPath();
    return QDir(dir).filePath(file);
}

bool SingleInstance::NotifyRunning()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kConnectTimeoutMs);
    return sent;
}

SingleInstance::ListenResult SingleInstance::Listen()
{
    if (m_server.listen(m_name))
        return ListenResult::Listening;
    if (m_server.serverError() != QAbstractSocket::AddressInUseError)
        return ListenResult::Failed;
    // The socket exists: either another instance has just started, or one died and left it.
    if (NotifyRunning())
        return ListenResult::OtherRunning;
    QLocalServer::removeServer(m_name);
    return m_server.listen(m_name) ? ListenResult::Listening : ListenResult::Failed;
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QPointer<QLocalSocket> guarded(socket);
        const auto readRequests = [this, guarded] {
            if (!guarded)
                return;
            // Only the request line counts; anything else on the socket is dropped.
            bool requested = false;
            while (guarded->canReadLine())
                requested = guarded->readLine(64) == kShowRequest || requested;
            if (guarded->bytesAvailable() > 64)
                guarded->abort();
            // Showing may run a login dialog: not from inside the socket's own notification.
            if (requested)
                QMetaObject::invokeMethod(this, &SingleInstance::showRequested, Qt::QueuedConnection);
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequests);
        readRequests();
    }
}
