#pragma once
// The channel between a second start of the program and the running instance: the running
// instance listens on a local socket named from the application title in the per-user runtime
// folder; a second start connects, sends a message number with its two parameters and a text
// (the file it was given to open, say) and ends.
// The running instance posts the message as an event to a receiver object (the application).

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;

class TInstanceServer : public QObject {
    Q_OBJECT
public:
    // `receiver` gets each message as a posted TMessageEvent.
    TInstanceServer(const QString& title, QObject* receiver, QObject* parent = nullptr);
    ~TInstanceServer() override;
    // Starts listening; a socket left behind by an instance that died is replaced. Call only
    // while holding the single-instance lock.
    bool Listen();
    QString SocketPath() const;

private:
    void OnNewConnection();
    QString FTitle;
    QPointer<QObject> FReceiver;
    QLocalServer* FServer = nullptr;
};

// The socket path for a title.
QString InstanceSocketPath(const QString& title);

// Sends the message to the running instance of that title. False when none is listening; waits
// at most `timeoutMs` for the connection.
bool PostToRunningInstance(const QString& title, int message, qint64 wParam, qint64 lParam,
                           const QString& text = {}, int timeoutMs = 2000);
