#pragma once
// A private Wayland desktop for the tests: weston on its headless back end (no screen, no input
// devices) with a runtime folder of its own, a background of one plain colour and no panel, so
// that what a window shows stands out on the desktop's screenshots. Ended with the object.

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QString>
#include <optional>
#include <string>
#include <sys/types.h>

class TWestonDesktop {
public:
    // The desktop's background colour.
    static constexpr QRgb Background = 0xff2e4a62;

    TWestonDesktop() = default;
    TWestonDesktop(const TWestonDesktop&) = delete;
    TWestonDesktop& operator=(const TWestonDesktop&) = delete;
    ~TWestonDesktop() { Stop(); }

    // Whether weston and its screenshot tool are installed.
    static bool IsInstalled();
    // Starts weston with one output of width x height and waits until its socket is there. Needs
    // no Qt application. False (with the reason) when it cannot be started.
    bool Start(int width, int height, std::string& error);
    // Ends weston, waits for it and removes its runtime folder.
    void Stop();

    // The socket as a full path: WAYLAND_DISPLAY takes it so, whatever XDG_RUNTIME_DIR says.
    const std::string& Socket() const { return FSocket; }
    // weston's own messages.
    std::string LogFile() const { return FRunDir + "/weston.log"; }
    QSize Size() const { return FSize; }

    // The whole desktop as weston composes it now (weston-screenshooter); a null image, with the
    // reason in `error`, when none could be taken.
    QImage Screenshot(QString* error = nullptr) const;

private:
    pid_t FServer = -1;
    std::string FRunDir;
    std::string FSocket;
    QSize FSize;
};

// The bounds of the pixels of `shot` inside `area` that differ from `colour`; empty when none.
QRect BoundsOfOtherThan(const QImage& shot, QRgb colour, const QRect& area);
// The bounds of the pixels of `shot` that have exactly `colour`; empty when none.
QRect BoundsOf(const QImage& shot, QRgb colour);
// Where `patch` shows in `shot` pixel for pixel (its top-left corner); nothing when nowhere.
std::optional<QPoint> FindPatch(const QImage& shot, const QImage& patch);
