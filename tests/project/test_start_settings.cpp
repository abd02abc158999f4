// The settings steps of the program's start and end, run in this process: loading, the
// installation identifier, the save when the main window goes, and the partner web pages.

#include "app/Brand.h"
#include "app/VGApp.h"
#include "app/main/MainRoutine.h"
#include "common/MsgBox.h"
#include "common/Registry.h"
#include "project/VGProj.h"
#include "tests/support/TestUtils.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QByteArray ReadBytes(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A program folder, per-user folders and an installer's identifier, all temporary.
struct TStart {
    TScopedUserFolders Folders;
    QString ProgramDir;
    QString SettingsFile;
    TMsgBoxHandler OldHandler;
    QStringList Boxes;

    explicit TStart(const QString& installGUID) {
        ProgramDir = Folders.Root() + QLatin1String("program/");
        QDir().mkpath(ProgramDir);
        WriteFile(Folders.Root() + QLatin1String("registry.ini"),
                  "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid=" + installGUID.toUtf8() + "\n");
        SetRegistryFileName(Folders.Root() + QLatin1String("registry.ini"));
        SettingsFile = TApp::GetDataPath() + QLatin1String("ConfigSet.vgset");
        OldHandler = SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
            Boxes.append(request.Text);
            return int(mrOK);
        });
    }
    ~TStart() {
        SetMsgBoxHandler(OldHandler);
        SetRegistryFileName({});
    }
    // A settings file written by hand (UTF-8), as an earlier run might have left it.
    void WriteSettings(const QByteArray& inner) const {
        QDir().mkpath(TApp::GetDataPath());
        WriteFile(SettingsFile,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config project=\"VG\">" + inner +
                      "</Config>\n");
    }
};

// What the running program looks like when its main window first shows.
class TShowProbe : public QObject {
public:
    explicit TShowProbe(const QString& settingsFile) : FSettingsFile(settingsFile) {}
    bool Seen = false;
    QByteArray FileAtShow;
    QString GUID;
    int GifFPS = -100;
    QString FontName;
    QString PurchaseUrl;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!Seen && event->type() == QEvent::Show && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow() && Config) {
            Seen = true;
            FileAtShow = ReadBytes(FSettingsFile);
            GUID = Config->InstallGUID;
            GifFPS = Config->GifFPS;
            FontName = Config->FontName;
            PurchaseUrl = TApp::GetPurchaseUrl();
        }
        return false;
    }

private:
    QString FSettingsFile;
};

// Runs the program until its main window has shown, with the probe watching.
void RunWith(const TStart& start, TShowProbe& probe) {
    QCoreApplication::instance()->installEventFilter(&probe);
    EXPECT_EQ(RunApplication({start.ProgramDir, true}), 0);
    QCoreApplication::instance()->removeEventFilter(&probe);
    EXPECT_TRUE(probe.Seen);
}

bool SkipsInstallChecks() {
    return TApp::DebugBuild || CurrentBrand().SkipInstallChecks;
}

} // namespace

TEST(StartSettings, AFirstStartWritesTheFileWithTheIdentifierBeforeTheWindowShows) {
    if (SkipsInstallChecks())
        GTEST_SKIP() << "this build does not check the installation";
    TStart start(QStringLiteral("{11111111-2222-3333-4444-555555555555}"));
    ASSERT_FALSE(QFileInfo::exists(start.SettingsFile));
    TShowProbe probe(start.SettingsFile);
    RunWith(start, probe);
    EXPECT_TRUE(start.Boxes.isEmpty());
    EXPECT_EQ(probe.GUID, QStringLiteral("{11111111-2222-3333-4444-555555555555}"));
    EXPECT_EQ(probe.GifFPS, 8);
    ASSERT_FALSE(probe.FileAtShow.isEmpty());
    TVGConfig reread;
    reread.Load();
    EXPECT_TRUE(reread.Loaded);
    EXPECT_EQ(reread.InstallGUID, QStringLiteral("{11111111-2222-3333-4444-555555555555}"));
    EXPECT_EQ(Config, nullptr) << "the settings object ends with the process objects";
}

TEST(StartSettings, ANewIdentifierBringsBackEveryDefault) {
    if (SkipsInstallChecks())
        GTEST_SKIP() << "this build does not check the installation";
    TStart start(QStringLiteral("{NEW}"));
    start.WriteSettings("<InstallGUID>{OLD}</InstallGUID><GifFPS>20</GifFPS>"
                        "<FontName>Tahoma</FontName><PartnerStatus>2</PartnerStatus>");
    TShowProbe probe(start.SettingsFile);
    RunWith(start, probe);
    EXPECT_EQ(probe.GUID, QStringLiteral("{NEW}"));
    EXPECT_EQ(probe.GifFPS, 8);
    EXPECT_EQ(probe.FontName, QStringLiteral("Arial"));
    EXPECT_NE(probe.PurchaseUrl, QString::fromUtf8(PartnerHomeUrl));

    // The file was overwritten at the start, before the window showed.
    const QString shown =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(probe.FileAtShow.constData() + 2),
                           (probe.FileAtShow.size() - 2) / 2);
    EXPECT_TRUE(shown.contains(QStringLiteral("<InstallGUID>{NEW}</InstallGUID>")));
    EXPECT_TRUE(shown.contains(QStringLiteral("<GifFPS>8</GifFPS>")));
    EXPECT_TRUE(shown.contains(QStringLiteral("<PartnerStatus>0</PartnerStatus>")));
}

TEST(StartSettings, AnUnchangedIdentifierKeepsTheSettingsAndWritesNothingAtStart) {
    if (SkipsInstallChecks())
        GTEST_SKIP() << "this build does not check the installation";
    TStart start(QStringLiteral("{SAME}"));
    start.WriteSettings("<InstallGUID>{SAME}</InstallGUID><GifFPS>20</GifFPS>"
                        "<PartnerStatus>2</PartnerStatus>");
    const QByteArray before = ReadBytes(start.SettingsFile);
    TShowProbe probe(start.SettingsFile);
    RunWith(start, probe);
    EXPECT_EQ(probe.FileAtShow, before);
    EXPECT_EQ(probe.GifFPS, 20);
    // A partner's customer gets the partner's pages.
    EXPECT_EQ(probe.PurchaseUrl, QString::fromUtf8(PartnerHomeUrl));

    // The main window saved the settings when it went: the same values, now in UTF-16.
    const QByteArray after = ReadBytes(start.SettingsFile);
    EXPECT_TRUE(after.startsWith(QByteArray("\xFF\xFE", 2)));
    TVGConfig reread;
    reread.Load();
    EXPECT_EQ(reread.GifFPS, 20);
    EXPECT_EQ(reread.InstallGUID, QStringLiteral("{SAME}"));
    // Without a settings object the brand's own pages are back.
    EXPECT_NE(TApp::GetPurchaseUrl(), QString::fromUtf8(PartnerHomeUrl));
}

TEST(StartSettings, AnEmptyIdentifierInTheFileTakesTheInstallersAndKeepsTheRest) {
    if (SkipsInstallChecks())
        GTEST_SKIP() << "this build does not check the installation";
    TStart start(QStringLiteral("{FIRST}"));
    start.WriteSettings("<InstallGUID/><GifLoop>5</GifLoop>");
    TShowProbe probe(start.SettingsFile);
    RunWith(start, probe);
    EXPECT_EQ(probe.GUID, QStringLiteral("{FIRST}"));
    EXPECT_TRUE(probe.FileAtShow.startsWith(QByteArray("\xFF\xFE", 2)));
    TVGConfig reread;
    reread.Load();
    EXPECT_EQ(reread.GifLoop, 5);
    EXPECT_EQ(reread.InstallGUID, QStringLiteral("{FIRST}"));
}
