#include "common/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

QString IncludeTrailingPathDelimiter(const QString& path) {
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

QString GetAppDataPath() {
    return IncludeTrailingPathDelimiter(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString GetRuntimePath() {
    QString path = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (path.isEmpty())
        path = QDir::tempPath();
    return IncludeTrailingPathDelimiter(path);
}

bool ForceDirectories(const QString& path, bool* created) {
    if (created)
        *created = false;
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists())
        return false; // a file stands where the folder should be
    if (!QDir().mkpath(path))
        return false;
    if (created)
        *created = true;
    return QFileInfo(path).isDir();
}

bool IsFolderWritable(const QString& path) {
    QTemporaryFile probe(IncludeTrailingPathDelimiter(path) + QLatin1String(".write-test-XXXXXX"));
    return probe.open();
}

int DeleteFolderFiles(const QString& path) {
    QDir dir(path);
    if (path.isEmpty() || !dir.exists())
        return 0;
    int count = 0;
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        if (dir.remove(name))
            ++count;
    return count;
}
