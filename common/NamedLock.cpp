#include "common/NamedLock.h"

#include "common/Folders.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TNamedLock::TNamedLock(const QString& name)
    : FFileName(GetRuntimePath() + name + QLatin1String(".lock")) {}

TNamedLock::~TNamedLock() {
    Unlock();
    if (FHandle >= 0)
        ::close(FHandle);
}

bool TNamedLock::Open() {
    if (FHandle >= 0)
        return true;
    ForceDirectories(GetRuntimePath());
    FHandle = ::open(QFile::encodeName(FFileName).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return FHandle >= 0;
}

bool TNamedLock::TryLock() {
    if (FLocked)
        return true;
    if (!Open())
        return false;
    int rc;
    do {
        rc = ::flock(FHandle, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    FLocked = rc == 0;
    return FLocked;
}

bool TNamedLock::Lock() {
    if (FLocked)
        return true;
    if (!Open())
        return false;
    int rc;
    do {
        rc = ::flock(FHandle, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    FLocked = rc == 0;
    return FLocked;
}

void TNamedLock::Unlock() {
    if (FLocked && FHandle >= 0)
        ::flock(FHandle, LOCK_UN);
    FLocked = false;
}
