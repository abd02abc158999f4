#include "app/main/WindowLossWatch.h"

#include <QByteArray>
#include <cstdint>

namespace {

// The X11 protocol's DestroyNotify event as the X client library hands it over (the layout is
// fixed by the protocol; the program does not build against the library's headers).
constexpr uint8_t destroyNotify = 17;
struct TDestroyNotifyEvent {
    uint8_t ResponseType; // the event's code; the top bit marks events sent by another client
    uint8_t Pad;
    uint16_t Sequence;
    uint32_t Event;
    uint32_t Window;
};

} // namespace

TWindowLossWatch::TWindowLossWatch(quintptr window, std::function<void()> lost)
    : FWindow(window), FLost(std::move(lost)) {}

bool TWindowLossWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (FReported || eventType != QByteArrayLiteral("xcb_generic_event_t") || !message)
        return false;
    const auto* event = static_cast<const TDestroyNotifyEvent*>(message);
    if ((event->ResponseType & 0x7F) != destroyNotify || event->Window != FWindow)
        return false;
    FReported = true;
    if (FLost)
        FLost();
    return false; // Qt sees the event as well
}
