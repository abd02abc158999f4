#pragma once
// Facts about the program and the system, for the log header and the About box.

#include <QSize>
#include <QString>

// The program's file version. With `shortForm` on: "3.4.0.0" (About box, settings file). Off:
// the same number followed by the build's architecture and Qt version (log header). The version
// is built into the executable, so `exePath` only names which program is meant.
QString GetProVersion(const QString& exePath, bool shortForm);

// The operating system's name ("Debian GNU/Linux 12 (bookworm)"), its version number (the kernel
// release) and whether it is a 64-bit system.
QString GetWindowsVersion();
QString GetWindowsVerNum();
bool IsWin64();

// The system's default language as a Windows language identifier (1033 for English, United
// States), derived from the user's locale.
int GetSystemDefaultLangID();
// The identifier of a locale name such as "en_US", "de_DE", "zh_CN"; 1033 when unknown.
int LangIDFromLocaleName(const QString& localeName);

// The primary screen's size in pixels and its logical pixels per inch (0 without a screen).
QSize GetScreenSize();
int GetScreenDPI();

// Whether the processor has AVX2, which the hand-vectorised picture loops need (they fall back
// to plain loops without it). Found once.
bool CpuHasAvx2();

// A 32-bit millisecond tick count from a monotonic clock; it wraps like the system's.
quint32 GetTickCount();

// Makes the memory allocator hand big blocks (video pictures, frame buffers) back to the system
// as soon as they are freed, and keep fewer per-thread pools. Without it a conversion of 4K
// pictures keeps hundreds of MB it no longer uses. Called once, first thing in main().
void ReturnBigBlocksToSystem();
