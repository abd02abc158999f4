#include "common/InstanceChannel.h"

#include "common/Folders.h"
#include "common/Messages.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr quint32 channelMagic = 0x51564731; // "QVG1"
constexpr int packetSize = 4 + 4 + 8 + 8;
} // namespace

QString InstanceSocketPath(const QString& title) {
    // Socket paths are short (108 bytes), so the title is hashed into the name.
    const QByteArray hash =
        QCryptographicHash::hash(title.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return GetRuntimePath() + QLatin1String("qopavg-") + QString::fromLatin1(hash) +
           QLatin1String(".sock");
}

TInstanceServer::TInstanceServer(const QString& title, QObject* receiver, QObject* parent)
    : QObject(parent), FTitle(title), FReceiver(receiver) {}

TInstanceServer::~TInstanceServer() {
    if (FServer)
        FServer->close();
}

QString TInstanceServer::SocketPath() const {
    return InstanceSocketPath(FTitle);
}

bool TInstanceServer::Listen() {
    const QString path = SocketPath();
    ForceDirectories(GetRuntimePath());
    QLocalServer::removeServer(path);
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, &TInstanceServer::OnNewConnection);
    return FServer->listen(path);
}

void TInstanceServer::OnNewConnection() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->bytesAvailable() >= packetSize) {
                QDataStream in(socket->read(packetSize));
                quint32 magic = 0;
                qint32 message = 0;
                qint64 wParam = 0, lParam = 0;
                in >> magic >> message >> wParam >> lParam;
                if (magic != channelMagic) {
                    socket->abort();
                    return;
                }
                if (FReceiver)
                    PostMessage(FReceiver, message, wParam, lParam);
            }
        });
    }
}

bool PostToRunningInstance(const QString& title, int message, qint64 wParam, qint64 lParam,
                           int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(InstanceSocketPath(title));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray packet;
    QDataStream out(&packet, QIODevice::WriteOnly);
    out << channelMagic << qint32(message) << wParam << lParam;
    socket.write(packet);
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return written;
}
