#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFile>
#include <QTest>

TScopedUserFolders::TScopedUserFolders()
    : FOldData(qgetenv("XDG_DATA_HOME")), FOldRuntime(qgetenv("XDG_RUNTIME_DIR")),
      FHadData(qEnvironmentVariableIsSet("XDG_DATA_HOME")),
      FHadRuntime(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
    QDir().mkpath(DataHome());
    QDir().mkpath(RuntimeDir());
    QFile::setPermissions(RuntimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_DATA_HOME", QFile::encodeName(DataHome()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(RuntimeDir()));
}

TScopedUserFolders::~TScopedUserFolders() {
    if (FHadData)
        qputenv("XDG_DATA_HOME", FOldData);
    else
        qunsetenv("XDG_DATA_HOME");
    if (FHadRuntime)
        qputenv("XDG_RUNTIME_DIR", FOldRuntime);
    else
        qunsetenv("XDG_RUNTIME_DIR");
    // Folders a test made read-only must be deletable again.
    QDir dir(FDir.path());
    const auto entries = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const auto& entry : entries)
        QFile::setPermissions(entry.filePath(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString ReadTextFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList ReadLines(const QString& fileName) {
    QStringList lines = ReadTextFile(fileName).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool WriteFile(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}
