#pragma once
// The program's window messages as Qt events. Each message keeps its number as the event type
// (all lie in Qt's user range). The conversion's and the frame extraction's reports carry named
// fields (Report::...); the others carry two parameters, and a text where one is needed.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <utility>

namespace Msg {
constexpr int InstanceStarted = 0x465;   // a second start of the program was attempted
constexpr int ConvertFinished = 0x17EC;  // Report::ConvertFinished
constexpr int ConvertError = 0x17ED;     // Report::ConvertFailed
constexpr int ConvertProgress = 0x17EE;  // Report::ConvertProgress
constexpr int ExtractProgress = 0x17EF;  // Report::ExtractProgress
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

// Reports with named fields: the conversion's and the frame extraction's news to the windows.
// Each keeps its message number as its event type, so one event type stands for one report.
namespace Report {
struct ConvertProgress {
    static constexpr int Message = Msg::ConvertProgress;
    int Percent = 0; // 0 to 100
};
struct ConvertFinished {
    static constexpr int Message = Msg::ConvertFinished;
    int FramesWritten = 0;
    int MaxFrames = 0; // the project's frame limit: reaching it means it left frames out
    QString Warning;   // the GIF was made, but with something the user should know
};
struct ConvertFailed {
    static constexpr int Message = Msg::ConvertError;
    QString Reason; // for the user
};
struct ExtractProgress {
    static constexpr int Message = Msg::ExtractProgress;
    qint64 Done = 0;  // frames extracted so far
    qint64 Asked = 0; // frames asked for
};
} // namespace Report

template <class T> class TReportEvent : public QEvent {
public:
    explicit TReportEvent(T report)
        : QEvent(static_cast<QEvent::Type>(T::Message)), Data(std::move(report)) {}
    T Data;
};

// Posts the report to the receiver's event queue (thread-safe); false when the receiver is gone.
template <class T> bool PostReport(const QPointer<QObject>& receiver, T report) {
    QObject* target = receiver.data();
    if (!target)
        return false;
    QCoreApplication::postEvent(target, new TReportEvent<T>(std::move(report)));
    return true;
}
// Delivers the report at once on the calling thread; returns whether the receiver took it.
template <class T> bool SendReport(QObject* receiver, T report) {
    if (!receiver)
        return false;
    TReportEvent<T> event(std::move(report));
    return QCoreApplication::sendEvent(receiver, &event);
}
// The report the event carries, or none when it carries another.
template <class T> const T* ReportOf(const QEvent* event) {
    if (static_cast<int>(event->type()) != T::Message)
        return nullptr;
    const auto* report = dynamic_cast<const TReportEvent<T>*>(event);
    return report ? &report->Data : nullptr;
}
