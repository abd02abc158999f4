#pragma once
// Records what the program asks the desktop to open (web pages, folders) instead of opening it,
// for as long as it lives.

#include "common/DesktopOpen.h"

#include <QStringList>

class TDesktopRecorder {
public:
    TDesktopRecorder() {
        FOld = SetDesktopLauncher(
            [this](const QString& target, TDesktopTarget, std::function<void(bool)> done) {
                Opened << target;
                done(true);
            });
    }
    ~TDesktopRecorder() { SetDesktopLauncher(FOld); }
    TDesktopRecorder(const TDesktopRecorder&) = delete;
    TDesktopRecorder& operator=(const TDesktopRecorder&) = delete;

    QStringList Opened;

private:
    TDesktopLauncher FOld;
};
