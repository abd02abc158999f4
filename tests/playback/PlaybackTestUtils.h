#pragma once
// What the playback tests share: a receiver for the end message and a record of the pictures
// handed to the main thread.

#include "common/Messages.h"
#include "decoder/CustomDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

// Counts the window messages it receives, in the same order list as the frames.
class TMessageSink : public QObject {
public:
    explicit TMessageSink(QStringList* order = nullptr) : FOrder(order) {}
    bool event(QEvent* event) override {
        if (event->type() >= QEvent::User && event->type() <= QEvent::MaxUser) {
            const auto* message = static_cast<TMessageEvent*>(event);
            Messages.push_back({message->Message(), message->WParam, message->LParam});
            if (FOrder != nullptr)
                *FOrder << QStringLiteral("message %1").arg(message->Message());
            return true;
        }
        return QObject::event(event);
    }
    struct TReceived {
        int Message;
        qint64 WParam, LParam;
    };
    std::vector<TReceived> Messages;

private:
    QStringList* FOrder;
};

// One picture handed over: the index read from it, the decoder's time then, and whether the
// hand-over ran on the main thread.
struct TShownFrame {
    int Index;
    int64_t PTS;
    bool OnMainThread;
};

// A frame callback that records into `shown` (and "frame <index>" into `order`), reading the
// index with `readIndex`.
template <class TReadIndex>
std::function<void(TCustomDecoder*, QImage&)>
RecordFrames(std::vector<TShownFrame>& shown, QStringList* order, TReadIndex readIndex) {
    return [&shown, order, readIndex](TCustomDecoder* decoder, QImage& picture) {
        const int index = readIndex(picture);
        shown.push_back({index, decoder->CurrentPTS(),
                         QThread::currentThread() == QCoreApplication::instance()->thread()});
        if (order != nullptr)
            *order << QStringLiteral("frame %1").arg(index);
    };
}

inline std::vector<int> Indexes(const std::vector<TShownFrame>& shown) {
    std::vector<int> indexes;
    for (const TShownFrame& frame : shown)
        indexes.push_back(frame.Index);
    return indexes;
}

// Waits without running the event loop (so no hand-over is served) until `condition` holds;
// false when it did not within `timeoutMs`.
inline bool SpinUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}
