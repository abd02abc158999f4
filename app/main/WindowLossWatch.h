#pragma once
// Notices when the display server destroys a window of ours without asking it to close (another
// client's XDestroyWindow, say). Qt keeps the widget and carries on as if the window were there,
// so a program whose main window went that way would run on with nothing on screen.

#include <QAbstractNativeEventFilter>
#include <functional>

class TWindowLossWatch : public QAbstractNativeEventFilter {
public:
    // `window` is the native window to watch; `lost` is called once when it is destroyed.
    TWindowLossWatch(quintptr window, std::function<void()> lost);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    quintptr FWindow;
    std::function<void()> FLost;
    bool FReported = false;
};
