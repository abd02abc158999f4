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

// What the running program looks like when its main window first shows.
struct TAtShow : QObject {
    QString SettingsFile;
    bool Seen = false;
    QByteArray File;
    QString GUID, FontName, PurchaseUrl;
    int GifFPS = -100;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!Seen && event->type() == QEvent::Show && watched->isWidgetType() && Config) {
            Seen = true;
            File = ReadBytes(SettingsFile);
            GUID = Config->InstallGUID;
            GifFPS = Config->GifFPS;
            FontName = Config->FontName;
            PurchaseUrl = TApp::GetPurchaseUrl();
        }
        return false;
    }
};

// Runs the program in temporary folders with the installer's identifier `installGUID` and,
// unless empty, a settings file of UTF-8 text holding `settings`, until its main window shows.
struct TRun {
    TScopedUserFolders Folders;
    QString SettingsFile = TApp::GetDataPath() + QStringLiteral("ConfigSet.vgset");
    QByteArray Before;
    TAtShow AtShow;
    QStringList Boxes;

    TRun(const QByteArray& installGUID, const QByteArray& settings) {
        const QString programDir = Folders.Root() + QStringLiteral("program/");
        QDir().mkpath(programDir);
        QDir().mkpath(TApp::GetDataPath());
        const QString registry = Folders.Root() + QStringLiteral("registry.ini");
        WriteFile(registry, "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid=" + installGUID);
        SetRegistryFileName(registry);
        if (!settings.isEmpty())
            WriteFile(SettingsFile, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config>" +
                                        settings + "</Config>\n");
        Before = ReadBytes(SettingsFile);
        const TMsgBoxHandler old = SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
            Boxes.append(request.Text);
            return int(mrOK);
        });
        AtShow.SettingsFile = SettingsFile;
        QCoreApplication::instance()->installEventFilter(&AtShow);
        EXPECT_EQ(RunApplication({programDir, true, {}, {}}), 0);
        QCoreApplication::instance()->removeEventFilter(&AtShow);
        SetMsgBoxHandler(old);
        SetRegistryFileName({});
        EXPECT_TRUE(AtShow.Seen);
        EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('|').toStdString();
        EXPECT_EQ(Config, nullptr) << "the settings object ends with the process objects";
    }
    // The settings file as read now.
    std::unique_ptr<TVGConfig> Reread() const {
        auto config = std::make_unique<TVGConfig>();
        config->ConfigFile = SettingsFile;
        config->Load();
        return config;
    }
};

bool ChecksInstallation() {
    return !TApp::DebugBuild && !CurrentBrand().SkipInstallChecks;
}

} // namespace

TEST(StartSettings, AFirstStartWritesTheFileWithTheIdentifierBeforeTheWindowShows) {
    if (!ChecksInstallation())
        GTEST_SKIP() << "this build does not check the installation";
    TRun run("{11111111-2222-3333-4444-555555555555}", {});
    EXPECT_TRUE(run.Before.isEmpty());
    EXPECT_TRUE(run.AtShow.File.startsWith("\xFF\xFE"));
    EXPECT_EQ(run.AtShow.GUID, "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(run.Reread()->InstallGUID, "{11111111-2222-3333-4444-555555555555}");
}

TEST(StartSettings, ANewIdentifierBringsBackEveryDefault) {
    if (!ChecksInstallation())
        GTEST_SKIP() << "this build does not check the installation";
    TRun run("{NEW}", "<InstallGUID>{OLD}</InstallGUID><GifFPS>20</GifFPS>"
                      "<FontName>Tahoma</FontName><PartnerStatus>2</PartnerStatus>");
    EXPECT_EQ(run.AtShow.GUID, "{NEW}");
    EXPECT_EQ(run.AtShow.GifFPS, 8);
    EXPECT_EQ(run.AtShow.FontName, "Arial");
    EXPECT_NE(run.AtShow.PurchaseUrl, PartnerHomeUrl);
    EXPECT_NE(run.AtShow.File, run.Before); // overwritten at the start
    const auto reread = run.Reread();
    EXPECT_EQ(reread->InstallGUID, "{NEW}");
    EXPECT_EQ(reread->PartnerStatus, 0);
}

TEST(StartSettings, AnUnchangedIdentifierKeepsTheSettingsAndWritesNothingAtStart) {
    if (!ChecksInstallation())
        GTEST_SKIP() << "this build does not check the installation";
    TRun run("{SAME}", "<InstallGUID>{SAME}</InstallGUID><GifFPS>20</GifFPS>"
                       "<PartnerStatus>2</PartnerStatus>");
    EXPECT_EQ(run.AtShow.File, run.Before);
    EXPECT_EQ(run.AtShow.GifFPS, 20);
    EXPECT_EQ(run.AtShow.PurchaseUrl, PartnerHomeUrl); // a partner's customer
    // The main window saved the settings when it went; without settings the brand's own pages
    // are back.
    EXPECT_TRUE(ReadBytes(run.SettingsFile).startsWith("\xFF\xFE"));
    EXPECT_EQ(run.Reread()->GifFPS, 20);
    EXPECT_NE(TApp::GetPurchaseUrl(), PartnerHomeUrl);
}
