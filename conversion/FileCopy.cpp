#include "conversion/FileCopy.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
bool Failed(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}
} // namespace

bool CopyFileReplacing(const QString& source, const QString& target, QString* error) {
    const QFileInfo from(source), to(target);
    if (to.exists() && from.exists() && from.canonicalFilePath() == to.canonicalFilePath())
        return true; // the file is already there
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return Failed(error, input.errorString());
    if (to.isDir())
        return Failed(error, QStringLiteral("A folder of that name exists"));
    QSaveFile output(target);
    if (!output.open(QIODevice::WriteOnly))
        return Failed(error, output.errorString());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = input.read(buffer.data(), buffer.size());
        if (n < 0)
            return Failed(error, input.errorString());
        if (n == 0)
            break;
        if (output.write(buffer.constData(), n) != n)
            return Failed(error, output.errorString());
    }
    if (!output.commit())
        return Failed(error, output.errorString());
    return true;
}
