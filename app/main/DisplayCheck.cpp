#include "app/main/DisplayCheck.h"

#include <QLibrary>

namespace {

// The three functions of the X client library (libxcb) the check needs, looked up at run time so
// the program does not link it: Qt loads it anyway when it talks to an X11 display.
using TConnect = void* (*)(const char* displayName, int* screen);
using THasError = int (*)(void* connection);
using TDisconnect = void (*)(void* connection);

// False only when the library is there and says the display cannot be reached.
bool X11DisplayAnswers(const QByteArray& display) {
    QLibrary xcb(QStringLiteral("xcb"), 1);
    const auto connect = reinterpret_cast<TConnect>(xcb.resolve("xcb_connect"));
    const auto hasError = reinterpret_cast<THasError>(xcb.resolve("xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<TDisconnect>(xcb.resolve("xcb_disconnect"));
    if (!connect || !hasError || !disconnect)
        return true; // Qt will say what it can
    void* connection = connect(display.constData(), nullptr);
    const bool answers = connection && hasError(connection) == 0;
    if (connection)
        disconnect(connection);
    return answers;
}

} // namespace

QString DisplayProblem() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return {};
    const QByteArray x11 = qgetenv("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (x11.isEmpty() && !wayland)
        return QStringLiteral("No display is available (DISPLAY and WAYLAND_DISPLAY are not set): "
                              "the program window cannot be shown.");
    if (!wayland && !X11DisplayAnswers(x11))
        return QStringLiteral("The display \"%1\" cannot be opened (DISPLAY names a display that "
                              "is not there or does not let this user in): the program window "
                              "cannot be shown.")
            .arg(QString::fromLocal8Bit(x11));
    return {};
}
