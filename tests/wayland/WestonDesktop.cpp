#include "tests/wayland/WestonDesktop.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int StartTimeoutMs = 15000;
constexpr int StopTimeoutMs = 5000;
constexpr int ShotTimeoutMs = 10000;
const char SocketName[] = "wayland-test";

// The desktop: a plain background, no panel, no lock screen and no animations (a window shows
// at once, as it is).
const char Config[] = R"([core]
idle-time=0

[shell]
background-color=0xff2e4a62
panel-position=none
locking=false
animation=none
close-animation=none
startup-animation=none
focus-animation=none
)";

// The full path of an executable found on PATH; empty when there is none.
std::string FindExecutable(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// This process's environment for the server: its own runtime folder, and no display of the
// desktop the test was started from.
std::vector<std::string> ServerEnvironment(const std::string& runDir) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (text.rfind("XDG_RUNTIME_DIR=", 0) != 0 && text.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            text.rfind("DISPLAY=", 0) != 0)
            entries.push_back(text);
    }
    entries.push_back("XDG_RUNTIME_DIR=" + runDir);
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs the server in a child process that ends with this one: a test killed at its time limit
// leaves no server behind.
pid_t SpawnServer(const std::string& program, std::vector<char*>& argv, std::vector<char*>& envp,
                  int logFd) {
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child != 0)
        return child; // this process: the child's id, or -1
    // The child: only calls that are safe between fork and exec.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(127);
    ::dup2(logFd, STDOUT_FILENO);
    ::dup2(logFd, STDERR_FILENO);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
}

// Waits until `file` exists in the folder `inotifyFd` watches for new entries, or the process
// behind `processFd` (a pidfd) ends, or the time runs out. True when the file is there.
bool WaitForFile(const std::string& file, int inotifyFd, int processFd, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        struct stat facts = {};
        if (::stat(file.c_str(), &facts) == 0)
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return false;
        pollfd waiting[2] = {{inotifyFd, POLLIN, 0}, {processFd, POLLIN, 0}};
        const int ready = ::poll(waiting, processFd >= 0 ? 2 : 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (waiting[1].revents & POLLIN))
            return ::stat(file.c_str(), &facts) == 0;
        char events[4096];
        [[maybe_unused]] const ssize_t got = ::read(inotifyFd, events, sizeof events);
    }
}

// Waits up to timeoutMs for the process to end (its pidfd becomes readable); true when it has.
bool WaitForEnd(pid_t pid, int timeoutMs) {
    const int processFd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (processFd >= 0) {
        pollfd waiting{processFd, POLLIN, 0};
        while (::poll(&waiting, 1, timeoutMs) < 0 && errno == EINTR) {
        }
        ::close(processFd);
    }
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    return done == pid || (done < 0 && errno == ECHILD);
}

} // namespace

bool TWestonDesktop::IsInstalled() {
    return !FindExecutable("weston").empty() && !FindExecutable("weston-screenshooter").empty();
}

bool TWestonDesktop::Start(int width, int height, std::string& error) {
    const std::string program = FindExecutable("weston");
    if (program.empty()) {
        error = "weston is not installed";
        return false;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/gifclipmaker-weston-XXXXXX";
    if (!::mkdtemp(pattern.data())) { // the folder is the owner's alone, as Wayland wants it
        error = std::string("no runtime folder: ") + std::strerror(errno);
        return false;
    }
    FRunDir = pattern;
    std::ofstream(FRunDir + "/weston.ini") << Config;

    const int inotifyFd = ::inotify_init1(IN_CLOEXEC);
    if (inotifyFd < 0 || ::inotify_add_watch(inotifyFd, FRunDir.c_str(), IN_CREATE) < 0) {
        error = std::string("cannot watch the runtime folder: ") + std::strerror(errno);
        Stop();
        return false;
    }
    std::vector<std::string> args = {"weston",
                                     "--backend=headless-backend.so",
                                     "--use-pixman", // a renderer that screenshots can read
                                     "--debug",      // lets weston-screenshooter in
                                     "--width=" + std::to_string(width),
                                     "--height=" + std::to_string(height),
                                     std::string("--socket=") + SocketName,
                                     "--idle-time=0",
                                     "--config=" + FRunDir + "/weston.ini"};
    std::vector<std::string> environment = ServerEnvironment(FRunDir);
    std::vector<char*> argv = Pointers(args), envp = Pointers(environment);
    const int log = ::open(LogFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FServer = SpawnServer(program, argv, envp, log);
    if (log >= 0)
        ::close(log);
    const int processFd = FServer > 0 ? int(::syscall(SYS_pidfd_open, FServer, 0)) : -1;
    const std::string socket = FRunDir + "/" + SocketName;
    const bool started = FServer > 0 && WaitForFile(socket, inotifyFd, processFd, StartTimeoutMs);
    ::close(inotifyFd);
    if (processFd >= 0)
        ::close(processFd);
    if (!started) {
        std::ifstream messages(LogFile());
        error = "weston did not open its socket; its messages:\n" +
                std::string(std::istreambuf_iterator<char>(messages), {});
        Stop();
        return false;
    }
    FSocket = socket;
    FSize = QSize(width, height);
    return true;
}

void TWestonDesktop::Stop() {
    if (FServer > 0) {
        ::kill(FServer, SIGTERM);
        if (!WaitForEnd(FServer, StopTimeoutMs)) {
            ::kill(FServer, SIGKILL);
            WaitForEnd(FServer, StopTimeoutMs);
        }
        FServer = -1;
    }
    if (!FRunDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(FRunDir, ignored);
        FRunDir.clear();
    }
    FSocket.clear();
}

QImage TWestonDesktop::Screenshot(QString* error) const {
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return QImage();
    };
    // The tool writes its picture into its working folder, under a name of its own.
    QTemporaryDir folder;
    if (!folder.isValid())
        return fail(QStringLiteral("no folder for the screenshot"));
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromStdString(FSocket));
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(folder.path());
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral("weston-screenshooter"), {});
    if (!tool.waitForFinished(ShotTimeoutMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return fail(QStringLiteral("weston-screenshooter failed: ") + tool.errorString() +
                    QLatin1Char(' ') + QString::fromLocal8Bit(tool.readAll()));
    const QStringList pictures =
        QDir(folder.path()).entryList({QStringLiteral("*.png")}, QDir::Files);
    if (pictures.size() != 1)
        return fail(QStringLiteral("weston-screenshooter left %1 pictures").arg(pictures.size()));
    QImage shot(folder.filePath(pictures.constFirst()));
    if (shot.isNull())
        return fail(QStringLiteral("the screenshot cannot be read"));
    return shot.convertToFormat(QImage::Format_RGB32);
}

namespace {

// The bounds of the pixels inside `area` for which `counts` holds.
template <typename TTest> QRect BoundsWhere(const QImage& shot, const QRect& area, TTest counts) {
    const QRect inside = area.intersected(shot.rect());
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (!counts(line[x] | 0xff000000))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

QRect BoundsOfOtherThan(const QImage& shot, QRgb colour, const QRect& area) {
    const QRgb opaque = colour | 0xff000000;
    return BoundsWhere(shot, area, [opaque](QRgb pixel) { return pixel != opaque; });
}

QRect BoundsOf(const QImage& shot, QRgb colour) {
    const QRgb opaque = colour | 0xff000000;
    return BoundsWhere(shot, shot.rect(), [opaque](QRgb pixel) { return pixel == opaque; });
}

std::optional<QPoint> FindPatch(const QImage& shot, const QImage& patch) {
    const QImage screen = shot.convertToFormat(QImage::Format_RGB32);
    const QImage part = patch.convertToFormat(QImage::Format_RGB32);
    if (part.isNull() || part.width() > screen.width() || part.height() > screen.height())
        return std::nullopt;
    auto matchesAt = [&](int left, int top) {
        for (int y = 0; y < part.height(); ++y) {
            const auto* want = reinterpret_cast<const QRgb*>(part.constScanLine(y));
            const auto* have = reinterpret_cast<const QRgb*>(screen.constScanLine(top + y)) + left;
            for (int x = 0; x < part.width(); ++x)
                if ((want[x] | 0xff000000) != (have[x] | 0xff000000))
                    return false;
        }
        return true;
    };
    for (int top = 0; top + part.height() <= screen.height(); ++top)
        for (int left = 0; left + part.width() <= screen.width(); ++left)
            if (matchesAt(left, top))
                return QPoint(left, top);
    return std::nullopt;
}
