#include "tests/e2e/VirtualDisplay.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int StartTimeoutMs = 15000;
constexpr int StopTimeoutMs = 5000;

// Reads the display number Xvfb writes to its -displayfd pipe once it takes connections: digits
// up to a line end. Empty when the server ends first or the time runs out.
std::string ReadDisplayNumber(int fd, int timeoutMs) {
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return {};
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {};
        char c = 0;
        const ssize_t got = ::read(fd, &c, 1);
        if (got <= 0)
            return {}; // the server ended without a display
        if (c == '\n')
            return number;
        number += c;
    }
}

// Waits up to timeoutMs for the process to end; true when it has.
bool WaitForEnd(pid_t pid, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // between two looks
    }
    return false;
}

// Runs the server in a child process that ends with this one: a test killed at its time limit
// leaves no server behind.
pid_t SpawnServer(std::vector<char*>& argv, int logFd) {
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child != 0)
        return child; // this process: the child's id, or -1
    // The child: only calls that are safe between fork and exec.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(127);
    if (logFd >= 0) {
        ::dup2(logFd, STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
    }
    ::execvp(argv[0], argv.data());
    const char message[] = "Xvfb cannot be run (is it installed?)\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(127);
}

} // namespace

bool TVirtualDisplay::Start(int width, int height, const std::string& logFile, std::string& error) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        error = std::string("no pipe: ") + std::strerror(errno);
        return false;
    }
    // The read end stays with us; the write end is the one descriptor the server inherits.
    ::fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::string fd = std::to_string(pipeFds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd,    "-screen", "0",
                                     screen, "-nolisten",  "tcp", "-noreset"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    FServer = SpawnServer(argv, log);
    ::close(pipeFds[1]);
    if (log >= 0)
        ::close(log);
    if (FServer < 0) {
        ::close(pipeFds[0]);
        error = std::string("no process for Xvfb: ") + std::strerror(errno);
        return false;
    }
    const std::string number = ReadDisplayNumber(pipeFds[0], StartTimeoutMs);
    ::close(pipeFds[0]);
    if (number.empty()) {
        Stop();
        error = "Xvfb did not start a display (its messages: " + logFile + ")";
        return false;
    }
    FName = ":" + number;
    return true;
}

void TVirtualDisplay::Stop() {
    if (FServer <= 0)
        return;
    ::kill(FServer, SIGTERM);
    if (!WaitForEnd(FServer, StopTimeoutMs)) {
        ::kill(FServer, SIGKILL);
        WaitForEnd(FServer, StopTimeoutMs);
    }
    FServer = -1;
    FName.clear();
}
