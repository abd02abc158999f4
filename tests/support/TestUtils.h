#pragma once
// Helpers shared by the tests.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// Points the per-user data and runtime folders at a fresh temporary folder for the life of the
// object, and restores the environment afterwards.
class TScopedUserFolders {
public:
    TScopedUserFolders();
    ~TScopedUserFolders();
    QString Root() const { return FDir.path() + QLatin1Char('/'); }
    QString DataHome() const { return Root() + QLatin1String("data/"); }
    QString RuntimeDir() const { return Root() + QLatin1String("runtime/"); }

private:
    QTemporaryDir FDir;
    QByteArray FOldData, FOldRuntime;
    bool FHadData, FHadRuntime;
};

QString ReadTextFile(const QString& fileName);
QStringList ReadLines(const QString& fileName);
bool WriteFile(const QString& fileName, const QByteArray& bytes);

// Waits (running the event loop) until `condition` holds or `timeoutMs` passes.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);
