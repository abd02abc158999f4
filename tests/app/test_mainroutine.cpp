// The main routine run in-process: installation check, work folder failure, a normal run.

#include "app/VGApp.h"
#include "app/main/MainRoutine.h"
#include "common/CommonFunctions.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
struct TBoxRecorder {
    TBoxRecorder() {
        FOld = SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
            Boxes.push_back(request);
            return int(mrOK);
        });
    }
    ~TBoxRecorder() { SetMsgBoxHandler(FOld); }
    std::vector<TMsgBoxRequest> Boxes;
    TMsgBoxHandler FOld;
};

struct TRegistryFile {
    explicit TRegistryFile(const QString& fileName, const QByteArray& contents) {
        WriteFile(fileName, contents);
        SetRegistryFileName(fileName);
    }
    ~TRegistryFile() { SetRegistryFileName({}); }
};

QStringList LogTexts() {
    QStringList texts;
    for (const QString& line : ReadLines(TApp::GetDataPath() + QLatin1String("Log.txt")))
        texts << line.section(QLatin1String("] "), 1);
    return texts;
}
} // namespace

TEST(MainRoutine, AMissingIdentifierShowsTheInstallationMessageAndEnds) {
    for (const QByteArray& contents :
         {QByteArray(), QByteArray("[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid=\n")}) {
        TScopedUserFolders folders;
        TRegistryFile registry(folders.Root() + QLatin1String("registry.ini"), contents);
        TBoxRecorder boxes;
        EXPECT_EQ(RunApplication({QStringLiteral(VG_PROGRAM_DIR), true, {}, {}}), 1);
        ASSERT_EQ(boxes.Boxes.size(), 1u);
        EXPECT_EQ(boxes.Boxes[0].Text,
                  QStringLiteral("Installation information missing, try \"Run as administrator\" "
                                 "or reinstall \"Qopasoft GIF Clip Maker\"."));
        EXPECT_EQ(boxes.Boxes[0].Buttons, 1);
        EXPECT_EQ(boxes.Boxes[0].Icon, 4);
        EXPECT_EQ(boxes.Boxes[0].DefaultButton, 1);
        EXPECT_FALSE(QFileInfo::exists(TApp::GetDataPath() + QLatin1String("ConfigSet.vgset")));
        EXPECT_EQ(LogTexts().last(), QStringLiteral("over"));
        EXPECT_EQ(App, nullptr);
    }
}

TEST(MainRoutine, AnUnusableDataFolderIsReportedAndTheProgramEnds) {
    TScopedUserFolders folders;
    TRegistryFile registry(folders.Root() + QLatin1String("registry.ini"),
                           "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid={X}\n");
    ASSERT_TRUE(QDir().mkpath(folders.DataHome()));
    ASSERT_TRUE(WriteFile(folders.DataHome() + QLatin1String("Qopasoft"), "a file"));
    TBoxRecorder boxes;
    EXPECT_EQ(RunApplication({QStringLiteral(VG_PROGRAM_DIR), true, {}, {}}), 1);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_TRUE(boxes.Boxes[0].Text.contains(folders.DataHome() +
                                             QLatin1String("Qopasoft/GIF Clip Maker/Temp/")));
    EXPECT_EQ(boxes.Boxes[0].Icon, int(miError));
}

TEST(MainRoutine, AnInstalledStartShowsTheMainWindowAndEmptiesTheWorkFolderAtTheEnd) {
    TScopedUserFolders folders;
    TRegistryFile registry(folders.Root() + QLatin1String("registry.ini"),
                           "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid={X}\n");
    TBoxRecorder boxes;
    // A frame picture left behind by an earlier run is removed at the end of this one.
    const QString temp = TApp::GetDataPath() + QLatin1String("Temp/");
    ASSERT_TRUE(QDir().mkpath(temp));
    ASSERT_TRUE(WriteFile(temp + QLatin1String("{OLD}.bmp"), "BM"));
    EXPECT_EQ(RunApplication({QStringLiteral(VG_PROGRAM_DIR), true, {}, {}}), 0);
    EXPECT_TRUE(boxes.Boxes.empty());
    EXPECT_FALSE(QFileInfo::exists(temp + QLatin1String("{OLD}.bmp")));
    const QStringList texts = LogTexts();
    EXPECT_TRUE(texts.contains(QStringLiteral("Start program")));
    EXPECT_EQ(texts.last(), QStringLiteral("over"));
    EXPECT_EQ(App, nullptr);
}

// The main window destroyed without a close request (as when the display server takes it away):
// the program ends the regular way, writes its last log line and frees the single-instance lock.
TEST(MainRoutine, AMainWindowDestroyedWithoutACloseRequestEndsTheProgram) {
    TScopedUserFolders folders;
    TRegistryFile registry(folders.Root() + QLatin1String("registry.ini"),
                           "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid={X}\n");
    TBoxRecorder boxes;
    // Should the program run on without its window, this ends the test's wait and fails it.
    bool rescued = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&rescued] {
        rescued = true;
        QCoreApplication::exit(0);
    });
    rescue.start(30000);
    TRunOptions options;
    options.AppPath = QStringLiteral(VG_PROGRAM_DIR);
    options.WhenShown = [](QWidget* window) {
        QTimer::singleShot(100, [window] { delete window; });
    };
    EXPECT_EQ(RunApplication(options), 0);
    EXPECT_FALSE(rescued);
    EXPECT_EQ(LogTexts().last(), QStringLiteral("over"));
    EXPECT_EQ(App, nullptr);
    TApp next(QStringLiteral(VG_PROGRAM_DIR));
    EXPECT_TRUE(next.IsFirstInstance());
}

// "Open with": the first file named on the command line is opened as if chosen in the open
// dialog, the others are named in the log; a file that is not there gets the usual message and
// the window stays empty.
TEST(MainRoutine, TheFileGivenOnTheCommandLineIsOpenedOnceTheWindowIsShown) {
    const QString video = QStringLiteral(VG_MEDIA_DIR "/bear-theora-320x180.ogv");
    const QString missing = QStringLiteral("/nonexistent/clip.mp4");
    for (const QStringList& files :
         {QStringList{video, missing, QStringLiteral("third.mkv")}, QStringList{missing}}) {
        TScopedUserFolders folders;
        TRegistryFile registry(folders.Root() + QLatin1String("registry.ini"),
                               "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid={X}\n");
        TBoxRecorder boxes;
        TRunOptions options;
        options.AppPath = QStringLiteral(VG_PROGRAM_DIR);
        options.Files = files;
        QString caption;
        // The file is opened by the first event after the window is shown; this one comes next.
        options.WhenShown = [&caption](QWidget* window) {
            QTimer::singleShot(0, window, [window, &caption] {
                caption = window->windowTitle();
                window->close();
            });
        };
        EXPECT_EQ(RunApplication(options), 0);
        const QStringList texts = LogTexts();
        if (files.first() == video) {
            EXPECT_EQ(caption, QStringLiteral("bear-theora-320x180.ogv - Qopasoft GIF Clip Maker"));
            EXPECT_TRUE(boxes.Boxes.empty());
            EXPECT_TRUE(texts.contains(QStringLiteral("video opened: %1 (320 x 180)").arg(video)));
            EXPECT_TRUE(texts.contains(QStringLiteral(
                "only the first file is opened; not opened: /nonexistent/clip.mp4, third.mkv")));
        } else {
            EXPECT_EQ(caption, QStringLiteral("Qopasoft GIF Clip Maker"));
            ASSERT_EQ(boxes.Boxes.size(), 1u);
            EXPECT_EQ(boxes.Boxes[0].Text,
                      QStringLiteral("\"clip.mp4\" is not a valid video file."));
            EXPECT_TRUE(texts.contains(QStringLiteral("not a valid video: ") + missing));
        }
        EXPECT_EQ(texts.last(), QStringLiteral("over"));
    }
}
