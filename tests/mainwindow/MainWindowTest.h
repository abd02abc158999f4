#pragma once
// The fixture of the main window's tests: the program folder of the build, a fresh data folder,
// settings with groups of 10 frames, message boxes and the open dialog answered by the test.

#include "FixtureList.h"
#include "FramePattern.h"
#include "app/VGApp.h"
#include "app/VGUIApp.h"
#include "common/CommonFunctions.h"
#include "mainwindow/MainFrm.h"
#include "project/FrameWriter.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "tests/support/TestUtils.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QTest>
#include <gtest/gtest.h>

inline QString FixturePath(int index) {
    return QStringLiteral(VG_FIXTURE_DIR "/") +
           QString::fromUtf8(fixture::Fixtures()[size_t(index)].FileName);
}

// 150 frames at 25 fps (6 s), a key frame every 50; and 60 frames at 60 fps (1 s).
inline constexpr int LongClip = 0;
inline constexpr int ShortClip = 7;

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        TBaseForm::SetScreenDpiProvider([] { return 96; });
        TBaseForm::SetLanguageIdOverride(1033);
        AppObj = std::make_unique<TApp>(QStringLiteral(VG_PROGRAM_DIR));
        App = AppObj.get();
        ASSERT_TRUE(ForceDirectories(App->TempPath));
        UIAppObj = std::make_unique<TUIApp>(App->AppPath + QStringLiteral("resource/"));
        UIApp = UIAppObj.get();
        Config = new TVGConfig();
        Config->DecodeNum = 10;
        Config->InstallTracked = true;
        OldBox = SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
            Messages << request.Text;
            return 1;
        });
        OldDialog = TMainForm::SetOpenDialog(
            [this](QWidget*, const QString&, const QString&, const QString&) { return NextFile; });
        Form = std::make_unique<TMainForm>();
        Form->show();
    }
    void TearDown() override {
        Form.reset();
        TMainForm::SetOpenDialog(OldDialog);
        SetMsgBoxHandler(OldBox);
        delete Config;
        Config = nullptr;
        UIApp = nullptr;
        App = nullptr;
        TBaseForm::SetScreenDpiProvider({});
        TBaseForm::SetLanguageIdOverride(0);
    }

    void Open(const QString& path) {
        NextFile = path;
        QTest::mouseClick(Form->Button1, Qt::LeftButton);
    }
    int ItemIndex(int item) const {
        const QImage picture = Form->FrameWriter()->Picture(TMainStripFrame(item)->FileName);
        return fixture::ReadIndexPattern(picture);
    }
    TVGFrame* TMainStripFrame(int item) const {
        return static_cast<TVGFrame*>(Form->ShotView->Item(item)->Data);
    }
    int64_t FramePTS(int index) const { return int64_t(index) * 40000; } // 25 fps

    TScopedUserFolders Folders;
    std::unique_ptr<TApp> AppObj;
    std::unique_ptr<TUIApp> UIAppObj;
    std::unique_ptr<TMainForm> Form;
    TMsgBoxHandler OldBox;
    TMainForm::TOpenDialog OldDialog;
    QStringList Messages;
    QString NextFile;
};

// The window active, with the long test clip open: where the tests that drive it as a user does
// begin.
class MainWindowWithClip : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Open(FixturePath(LongClip));
        ASSERT_NE(Form->Project(), nullptr) << Messages.join(';').toStdString();
    }
};
