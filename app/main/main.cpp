// The program's entry.

#include "app/main/DisplayCheck.h"
#include "app/main/GuiMsgBox.h"
#include "app/main/MainRoutine.h"
#include "common/SysInfo.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminateSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// A request to terminate (log-out, kill) ends the message loop like closing the window, so the
// settings are saved and the work folder is emptied.
void InstallTerminateHandler(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows)
            window->close();
        app.quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

} // namespace

int main(int argc, char* argv[]) {
    ReturnBigBlocksToSystem();
    if (const QString problem = DisplayProblem(); !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(problem));
        return 2;
    }
    QApplication app(argc, argv);
    InstallGuiMsgBox();
    InstallTerminateHandler(app);
    // The files to open ("Open with"); Qt has taken its own options off the list.
    TRunOptions options;
    options.Files = QApplication::arguments().mid(1);
    return RunApplication(options);
}
