#pragma once
// The diagnostic log: plain UTF-8 text, one line per call,
// "yyyy-MM-dd hh:mm:ss.zzz [pid:thread] text". Every process and thread of the user appends to
// the same file; a named lock serialises the appends.

#include <QMutex>
#include <QString>
#include <memory>

class TNamedLock;

class TLog {
public:
    // Prepares appending to `fileName`; nothing is created on disk until the first line.
    TLog(const QString& fileName, const QString& mutexName);
    ~TLog();
    TLog(const TLog&) = delete;
    TLog& operator=(const TLog&) = delete;

    QString FileName() const { return FFileName; }
    // Appends one line. A file that cannot be written loses the line and nothing else happens.
    void LogMsg(const QString& text);
    // Writes `lines` only when the log file is new (missing or empty). The question and the
    // writing happen under the same lock as every line, so of several processes starting at once
    // exactly one writes them. True when this call wrote them.
    bool LogHeaderIfNew(const QStringList& lines);

    static QString FormatLine(const QString& text);

private:
    // Appends the bytes under both locks; with `onlyIfNew` only to a missing or empty file.
    bool Append(const QByteArray& bytes, bool onlyIfNew);
    QString FFileName;
    QMutex FLock;
    std::unique_ptr<TNamedLock> FNamedLock;
};

// The global log object; none before the application core creates it and after it is freed.
TLog* LogObj();
// Hands the global log object over (the caller keeps ownership); nullptr ends logging.
void SetLogObj(TLog* log);

// Appends one line through the global log object; without one the line is dropped.
void MsgOut(const QString& text);
