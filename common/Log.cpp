#include "common/Log.h"

#include "common/Folders.h"
#include "common/NamedLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QThread>
#include <unistd.h>

namespace {
QMutex globalLogLock;
TLog* globalLog = nullptr;
} // namespace

TLog::TLog(const QString& fileName, const QString& mutexName)
    : FFileName(fileName), FNamedLock(std::make_unique<TNamedLock>(mutexName)) {}

TLog::~TLog() = default;

QString TLog::FormatLine(const QString& text) {
    return QStringLiteral("%1 [%2:%3] %4\n")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
        .arg(::getpid())
        .arg(reinterpret_cast<quintptr>(QThread::currentThreadId()) & 0xFFFFFF, 0, 16)
        .arg(text);
}

void TLog::LogMsg(const QString& text) {
    Append(FormatLine(text).toUtf8(), false);
}

bool TLog::LogHeaderIfNew(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += FormatLine(line).toUtf8();
    return Append(bytes, true);
}

bool TLog::Append(const QByteArray& bytes, bool onlyIfNew) {
    QMutexLocker locker(&FLock);
    const bool locked = FNamedLock->Lock();
    QFile file(FFileName);
    bool opened = file.open(QIODevice::WriteOnly | QIODevice::Append);
    if (!opened && ForceDirectories(QFileInfo(FFileName).absolutePath()))
        opened = file.open(QIODevice::WriteOnly | QIODevice::Append);
    const bool write = opened && (!onlyIfNew || file.size() == 0);
    if (write)
        file.write(bytes);
    file.close();
    if (locked)
        FNamedLock->Unlock();
    return write;
}

TLog* LogObj() {
    QMutexLocker locker(&globalLogLock);
    return globalLog;
}

void SetLogObj(TLog* log) {
    QMutexLocker locker(&globalLogLock);
    globalLog = log;
}

void MsgOut(const QString& text) {
    // Held for the append, so the object cannot be freed under a writer of another thread.
    QMutexLocker locker(&globalLogLock);
    if (globalLog)
        globalLog->LogMsg(text);
}
