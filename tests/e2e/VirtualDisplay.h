#pragma once
// A private X display for the end-to-end test: an Xvfb server on a display number it picks itself
// (so parallel runs never share one), ended with the object.

#include <string>
#include <sys/types.h>

class TVirtualDisplay {
public:
    TVirtualDisplay() = default;
    TVirtualDisplay(const TVirtualDisplay&) = delete;
    TVirtualDisplay& operator=(const TVirtualDisplay&) = delete;
    ~TVirtualDisplay() { Stop(); }

    // Starts Xvfb with one screen of width x height at 24 bits and waits until it takes
    // connections. The server's own messages go to logFile. False (with the reason) when it
    // cannot be started.
    bool Start(int width, int height, const std::string& logFile, std::string& error);
    // Ends the server and waits for it.
    void Stop();

    // The display's name as DISPLAY takes it (":N"); empty before a successful start.
    const std::string& Name() const { return FName; }

private:
    pid_t FServer = -1;
    std::string FName;
};
