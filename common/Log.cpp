#include "common/Log.h"

#include "common/Folders.h"
#include "common/NamedLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
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
    const QByteArray line = FormatLine(text).toUtf8();
    QMutexLocker locker(&FLock);
    const bool locked = FNamedLock->Lock();
    QFile file(FFileName);
    bool opened = file.open(QIODevice::WriteOnly | QIODevice::Append);
    if (!opened && ForceDirectories(QFileInfo(FFileName).absolutePath()))
        opened = file.open(QIODevice::WriteOnly | QIODevice::Append);
    if (opened) {
        file.write(line);
        file.close();
    }
    if (locked)
        FNamedLock->Unlock();
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
