#include "app/VGApp.h"

#include "common/CommonFunctions.h"
#include "localisation/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <sys/stat.h>

TApp* App = nullptr;

namespace {
QMutex hookLock;
std::function<bool()>& partnerQuery() {
    static std::function<bool()> query;
    return query;
}
bool IsPartner() {
    std::function<bool()> query;
    {
        QMutexLocker locker(&hookLock);
        query = partnerQuery();
    }
    return query && query();
}
} // namespace

int LogFileNumber(const QString& fileName) {
    const QString base = QFileInfo(fileName).completeBaseName();
    bool ok = false;
    const int number = base.mid(3).toInt(&ok, 10);
    return ok ? number : 0;
}

QString ChooseLogFileName(const QString& logFolder) {
    const QString folder = IncludeTrailingPathDelimiter(logFolder);
    const QDir dir(folder);
    const QStringList names = dir.entryList(
        {QStringLiteral("Log*.txt")}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    if (names.isEmpty())
        return folder + QLatin1String("Log.txt");
    QString chosen = folder + names.first();
    int largest = 0;
    for (const QString& name : names) {
        const int number = LogFileNumber(name);
        if (number > largest) {
            largest = number;
            chosen = folder + name;
        }
    }
    if (QFileInfo(chosen).size() <= LogSizeLimit)
        return chosen;
    return QStringLiteral("%1Log%2.txt").arg(folder).arg(largest + 1);
}

TApp::TApp(const QString& appPath) {
    AppPath = IncludeTrailingPathDelimiter(
        appPath.isEmpty() ? QCoreApplication::applicationDirPath() : appPath);
    TempPath = GetDataPath() + QLatin1String("Temp/");
}

TApp::~TApp() {
    if (Initialized) {
        Language = nullptr;
        FLanguage.reset();
        MsgOut(QStringLiteral("over"));
        SetLogObj(nullptr);
        FLog.reset();
    }
    MutexHandle.reset();
}

void TApp::InitializeApp() {
    FLog = std::make_unique<TLog>(GetLogFileName(), QString::fromLatin1(LogMutexName));
    SetLogObj(FLog.get());
    WriteSystemInfo();
    MsgOut(GetTitle());
    MsgOut(QStringLiteral("Start program"));

    FLanguage = std::make_unique<TLanguage>(AppPath);
    Language = FLanguage.get();
    Language->LoadLanguage(QStringLiteral("English"));

    CreateWorkFolder();
    Initialized = true;
    MsgOut(DebugBuild ? QStringLiteral("Debug Version") : QStringLiteral("not Debug Version"));
}

bool TApp::CreateWorkFolder() {
    bool created = false;
    if (!ForceDirectories(TempPath, &created)) {
        const QFileInfo info(QDir::cleanPath(TempPath));
        FWorkFolderError =
            QStringLiteral("The work folder \"%1\" cannot be created%2. Check that the folders "
                           "above it exist, are folders and may be written, then start \"%3\" "
                           "again.")
                .arg(QDir::toNativeSeparators(TempPath),
                     info.exists() && !info.isDir() ? QStringLiteral(": a file has that name")
                                                    : QString(),
                     GetTitle());
        MsgOut(QStringLiteral("work folder cannot be created: ") + TempPath);
        return false;
    }
    // Linux has no hidden attribute: a work folder we create is made private to the user
    // instead. An existing one keeps whatever it has.
    if (created)
        ::chmod(QFile::encodeName(TempPath).constData(), 0700);
    if (!IsFolderWritable(TempPath)) {
        FWorkFolderError =
            QStringLiteral("The work folder \"%1\" cannot be written. Free some disk space or "
                           "check its permissions, then start \"%2\" again.")
                .arg(QDir::toNativeSeparators(TempPath), GetTitle());
        MsgOut(QStringLiteral("work folder cannot be written: ") + TempPath);
        return false;
    }
    return true;
}

bool TApp::IsFirstInstance() {
    auto lock = std::make_unique<TNamedLock>(QString::fromLatin1(ExeMutexName));
    if (!lock->TryLock()) {
        MutexHandle.reset();
        return false;
    }
    MutexHandle = std::move(lock);
    return true;
}

bool TApp::IsInstalled() const {
    if (DebugBuild || CurrentBrand().SkipInstallChecks)
        return true;
    return !GetInstallGUID().isEmpty();
}

QString TApp::GetCompanyName() {
    return QString::fromUtf8(CurrentBrand().CompanyName);
}

QString TApp::GetCompanyFolder() {
    return QString::fromUtf8(CurrentBrand().CompanyFolder);
}

QString TApp::GetProductName() {
    return BrandProductName(CurrentBrand());
}

QString TApp::GetProductFolder() {
    return BrandProductFolder(CurrentBrand());
}

QString TApp::GetTitle() {
    return BrandTitle(CurrentBrand());
}

QString TApp::GetDataPath() {
    return CurrentDataPath();
}

QString TApp::GetSkinPath() const {
    return AppPath + QLatin1String("Skin/") + QString::fromUtf8(CurrentBrand().FolderKey) +
           QLatin1Char('/');
}

QString TApp::NewTempFileName(const QString& extension) const {
    // Made again, without the start's private permissions, when it was deleted meanwhile.
    ForceDirectories(TempPath);
    return TempPath + CreateNewGUID() + extension;
}

QString TApp::GetInstallGUID() {
    return ReadRegString(TRegRoot::LocalMachine, QString::fromLatin1(InstallKeyPath),
                         QString::fromLatin1(InstallValueName));
}

QString TApp::GetPurchaseUrl() {
    return QString::fromUtf8(IsPartner() ? PartnerHomeUrl : CurrentBrand().PurchaseUrl);
}

QString TApp::GetGuideUrl() {
    return QString::fromUtf8(IsPartner() ? PartnerHomeUrl : CurrentBrand().GuideUrl);
}

QString TApp::GetSupportUrl() {
    return QString::fromUtf8(IsPartner() ? PartnerHomeUrl : CurrentBrand().SupportUrl);
}

QString TApp::StripUrlQuery(const QString& address) {
    const qsizetype query = address.indexOf(QLatin1Char('?'));
    return query < 0 ? address : address.left(query);
}

void TApp::SetPartnerQuery(std::function<bool()> query) {
    QMutexLocker locker(&hookLock);
    partnerQuery() = std::move(query);
}

QString TApp::GetVersionText(bool shortForm) const {
    return GetProVersion(QCoreApplication::applicationFilePath(), shortForm);
}

QString TApp::GetLogFileName() const {
    return ChooseLogFileName(GetDataPath());
}

void TApp::WriteSystemInfo() {
    if (!FLog)
        return;
    QString os = QLatin1String("OS: ") + GetWindowsVersion() + QLatin1String(" (") +
                 GetWindowsVerNum() + QLatin1Char(')');
    if (IsWin64())
        os += QLatin1String(" 64 bit");
    const QSize screen = GetScreenSize();
    // Written by whichever process finds the log new, once.
    FLog->LogHeaderIfNew(
        {os,
         QStringLiteral("Language: $%1")
             .arg(QString::number(GetSystemDefaultLangID(), 16).toUpper()),
         QStringLiteral("Screen size: %1 x %2").arg(screen.width()).arg(screen.height()),
         QStringLiteral("Screen DPI: %1").arg(GetScreenDPI()),
         GetTitle() + QLatin1Char(' ') + GetVersionText(false), QStringLiteral("===============")});
}
