#pragma once
// A lock with a name, shared by every process of the same user: an advisory kernel lock
// (flock) on a file of that name in the per-user runtime folder. The kernel frees it when the
// process ends, however it ends, so a killed process never leaves a stale lock behind.

#include <QString>

class TNamedLock {
public:
    explicit TNamedLock(const QString& name);
    ~TNamedLock();
    TNamedLock(const TNamedLock&) = delete;
    TNamedLock& operator=(const TNamedLock&) = delete;

    // Takes the lock without waiting. False when another holder has it or the lock file cannot
    // be opened.
    [[nodiscard]] bool TryLock();
    // Waits for the lock. False only when the lock file cannot be opened.
    bool Lock();
    void Unlock();
    bool IsLocked() const { return FLocked; }
    QString FileName() const { return FFileName; }

private:
    bool Open();
    QString FFileName;
    int FHandle = -1;
    bool FLocked = false;
};
