#pragma once
// The program's window messages as Qt events. Each message keeps its number as the event type
// (all lie in Qt's user range) and carries its two parameters, and a text where one is needed,
// inside the event object.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>

namespace Msg {
constexpr int InstanceStarted = 0x465;   // a second start of the program was attempted
constexpr int ConvertFinished = 0x17EC;  // wParam frames written, lParam maximum frame count
constexpr int ConvertError = 0x17ED;     // Text: what went wrong
constexpr int ConvertProgress = 0x17EE;  // wParam percent in the low 16 bits
constexpr int ExtractProgress = 0x17EF;  // wParam frames so far, lParam frames asked for
constexpr int PlayEnded = 0x197D;        // the playback worker reached the end
constexpr int PlaySelectionEnd = 0x197E; // "Play selection" reached the clip's end
} // namespace Msg

class TMessageEvent : public QEvent {
public:
    TMessageEvent(int message, qint64 wParam, qint64 lParam, const QString& text = {})
        : QEvent(static_cast<QEvent::Type>(message)), WParam(wParam), LParam(lParam), Text(text) {}
    int Message() const { return static_cast<int>(type()); }
    qint64 WParam;
    qint64 LParam;
    QString Text;
};

// Posts the message to the receiver's event queue (thread-safe). False without a receiver.
bool PostMessage(QObject* receiver, int message, qint64 wParam, qint64 lParam,
                 const QString& text = {});
// Delivers the message at once on the calling thread; returns whether the receiver accepted it.
bool SendMessage(QObject* receiver, int message, qint64 wParam, qint64 lParam,
                 const QString& text = {});
// Posts only when the receiver still exists.
bool CheckPostMessage(const QPointer<QObject>& receiver, int message, qint64 wParam, qint64 lParam,
                      const QString& text = {});
