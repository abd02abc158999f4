#pragma once
// The application core: program and per-user folders, the brand's title and web pages, the log
// file, the single-instance test and the installation check.

#include "app/Brand.h"

#include <QString>
#include <functional>
#include <memory>

class TLanguage;
class TNamedLock;
class TLog;

// Names shared by every process of the program.
inline constexpr const char* ExeMutexName = "MX_QOPAVG_EXE";
inline constexpr const char* LogMutexName = "MX_QOPAVG_Log";
inline constexpr const char* InstallKeyPath = "SOFTWARE\\Classes\\QOPAVG.ProjFile";
inline constexpr const char* InstallValueName = "insguid";

// A log file is appended to while it is at most this long; a longer one starts the next number.
inline constexpr qint64 LogSizeLimit = 10485760;

// The log file a process writes in `logFolder` (ending in "/"): "Log.txt" in an empty folder,
// else the highest-numbered "Log<n>.txt", or the next number when that one is over the limit.
QString ChooseLogFileName(const QString& logFolder);
// The number of a log file's base name: the text after its first three characters, 0 when that
// is not a decimal integer.
int LogFileNumber(const QString& fileName);

class TApp {
public:
#ifdef VG_DEBUG_BUILD
    static constexpr bool DebugBuild = true;
#else
    static constexpr bool DebugBuild = false;
#endif

    // Sets AppPath and TempPath; nothing is created on disk. `appPath` overrides the folder of
    // the executable (tests).
    explicit TApp(const QString& appPath = {});
    ~TApp();
    TApp(const TApp&) = delete;
    TApp& operator=(const TApp&) = delete;

    // Creates the log (header and start lines), the language object and the work folder.
    void InitializeApp();
    // True when this process holds the single-instance lock (the first instance).
    bool IsFirstInstance();
    bool IsInstalled() const;

    // Empty when the work folder is ready; otherwise a message for the user naming the folder.
    QString WorkFolderError() const {
        return FWorkFolderError;
    }

    QString AppPath;  // folder of the executable, ending in "/"
    QString TempPath; // the work folder, ending in "/"
    std::unique_ptr<TNamedLock> MutexHandle;
    bool Initialized = false;

    // Brand and paths; usable before the TApp object exists.
    static QString GetCompanyName();
    static QString GetCompanyFolder();
    static QString GetProductName();
    static QString GetProductFolder();
    static QString GetTitle();
    static QString GetDataPath();
    QString GetSkinPath() const;
    QString NewTempFileName(const QString& extension) const;
    static QString GetInstallGUID();

    static QString GetPurchaseUrl();
    static QString GetGuideUrl();
    static QString GetSupportUrl();
    static QString StripUrlQuery(const QString& address);
    // Tells the web-page operations whether the user is a partner's customer. The settings layer
    // installs it; until then the brand's own pages are used.
    static void SetPartnerQuery(std::function<bool()> query);

    // The program's version text: short for the About box and the settings file, long for the
    // log header.
    QString GetVersionText(bool shortForm) const;

    QString GetLogFileName() const;
    void WriteSystemInfo();

private:
    bool CreateWorkFolder();
    std::unique_ptr<TLog> FLog;
    std::unique_ptr<TLanguage> FLanguage; // the global Language while the core is initialised
    QString FWorkFolderError;
};

// The global application core; none before the start creates it and after it is freed.
extern TApp* App;
