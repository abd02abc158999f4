#include "common/InstanceChannel.h"

#include "common/Folders.h"
#include "common/Messages.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

namespace {
// A packet: magic, message, the two parameters, the text's length in bytes and the text (UTF-8).
constexpr quint32 channelMagic = 0x51564732; // "QVG2"
constexpr int headerSize = 4 + 4 + 8 + 8 + 4;
// A file path is the longest text sent; anything longer is not from the program.
constexpr quint32 maxTextBytes = 64 * 1024;

// Takes every whole packet off the front of `buffer`. False when the bytes are not a packet.
bool TakePackets(QByteArray& buffer, QObject* receiver) {
    while (buffer.size() >= headerSize) {
        QDataStream in(buffer.left(headerSize));
        quint32 magic = 0, textBytes = 0;
        qint32 message = 0;
        qint64 wParam = 0, lParam = 0;
        in >> magic >> message >> wParam >> lParam >> textBytes;
        if (magic != channelMagic || textBytes > maxTextBytes)
            return false;
        if (buffer.size() < headerSize + qsizetype(textBytes))
            return true; // the rest is still on its way
        const QString text = QString::fromUtf8(buffer.mid(headerSize, textBytes));
        buffer.remove(0, headerSize + textBytes);
        if (receiver)
            PostMessage(receiver, message, wParam, lParam, text);
    }
    return true;
}
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
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!TakePackets(*buffer, FReceiver))
                socket->abort();
        });
    }
}

bool PostToRunningInstance(const QString& title, int message, qint64 wParam, qint64 lParam,
                           const QString& text, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(InstanceSocketPath(title));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray packet;
    QDataStream out(&packet, QIODevice::WriteOnly);
    const QByteArray textBytes = text.toUtf8().left(maxTextBytes);
    out << channelMagic << qint32(message) << wParam << lParam << quint32(textBytes.size());
    packet.append(textBytes);
    socket.write(packet);
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return written;
}
