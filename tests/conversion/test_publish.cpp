// The progress window: its look, its answers to the engine's three events and to the user's
// Cancel and Minimize, and whole conversions run through it.

#include "common/Messages.h"
#include "conversion/PublishFrm.h"
#include "engine/Video2Gif.h"
#include "tests/conversion/ConversionTestUtils.h"
#include "tests/support/GifDecode.h"
#include "tests/support/TestUtils.h"
#include "widgets/SkinButton.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString maxFrameText = QStringLiteral("Reached \"Max frame count\" limitation!\n"
                                            "You can go to <Options> to modify it.");

// A thread that is never started: it only records whether it was told to stop.
std::unique_ptr<TVideo2GifThread> IdleThread() {
    return std::make_unique<TVideo2GifThread>(TConversionRequest{});
}

// Shows the form modally and runs `script` once the modal loop runs; returns the modal result.
int RunModal(TPublishForm& form, const std::function<void()>& script) {
    QTimer::singleShot(0, &form, script);
    return form.ShowModal();
}

// The engine's reports, as its thread posts them.
void PostFinished(TPublishForm& form, int written, int maximum, const QString& warning = {}) {
    PostReport(QPointer<QObject>(&form), Report::ConvertFinished{written, maximum, warning});
}
void PostFailed(TPublishForm& form, const QString& reason) {
    PostReport(QPointer<QObject>(&form), Report::ConvertFailed{reason});
}

// Sees the progress messages the progress window receives.
class TProgressSpy : public QObject {
public:
    TProgressSpy() { qApp->installEventFilter(this); }
    ~TProgressSpy() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto* progress = ReportOf<Report::ConvertProgress>(event);
        if (progress && qobject_cast<TPublishForm*>(watched))
            Percents.push_back(progress->Percent);
        return false;
    }
    std::vector<int> Percents;
};

} // namespace

TEST(PublishForm, LooksAsDesigned) {
    TPublishForm form;
    EXPECT_EQ(form.size(), QSize(398, 94));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.lblInfo->text(), QStringLiteral("Converting...please wait..."));
    EXPECT_EQ(form.lblInfo->pos(), QPoint(18, 13));
    EXPECT_TRUE(form.lblInfo->font().bold());
    EXPECT_EQ(form.pbProgress->geometry(), QRect(17, 37, 369, 17));
    EXPECT_EQ(form.pbProgress->value(), 0);
    EXPECT_FALSE(form.pbProgress->isTextVisible());
    EXPECT_EQ(form.btnMinimize->geometry(), QRect(220, 61, 78, 23));
    EXPECT_EQ(form.btnCancel->geometry(), QRect(308, 61, 78, 23));
    EXPECT_EQ(form.btnMinimize->text(), QStringLiteral("Minimize"));
    EXPECT_EQ(form.btnCancel->text(), QStringLiteral("Cancel"));
    // Only the rounded panel shows: the window's corners are cut away.
    EXPECT_FALSE(form.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(form.mask().contains(QPoint(199, 47)));
}

TEST(PublishForm, ProgressThenFinishedBelowTheMaximumClosesWithOkAndNoBox) {
    TBoxRecorder boxes;
    TPublishForm form;
    std::vector<int> values;
    const int result = RunModal(form, [&] {
        SendReport(&form, Report::ConvertProgress{42});
        values.push_back(form.pbProgress->value());
        SendReport(&form, Report::ConvertProgress{77});
        values.push_back(form.pbProgress->value());
        // A percent out of range shows as full, not as garbage.
        SendReport(&form, Report::ConvertProgress{130});
        values.push_back(form.pbProgress->value());
        PostFinished(form, 99, 100);
    });
    EXPECT_EQ(values, (std::vector<int>{42, 77, 100}));
    EXPECT_EQ(result, mrOK);
    EXPECT_TRUE(boxes.Boxes.empty());
}

TEST(PublishForm, FinishedAtOrAboveTheMaximumTellsTheUserAndStillSucceeds) {
    for (const auto& [written, maximum] : {std::pair{100, 100}, std::pair{120, 100}}) {
        TBoxRecorder boxes;
        TPublishForm form;
        EXPECT_EQ(RunModal(form, [&] { PostFinished(form, written, maximum); }), mrOK);
        ASSERT_EQ(boxes.Boxes.size(), 1u) << written;
        EXPECT_EQ(boxes.Boxes[0].Text, maxFrameText);
        EXPECT_EQ(boxes.Boxes[0].Buttons, mbOK);
    }
}

TEST(PublishForm, AWarningOfTheEngineIsShownAndTheGifStillCounts) {
    TBoxRecorder boxes;
    TPublishForm form;
    const QString warning = QStringLiteral("3 damaged frame(s) of the video were left out; the "
                                           "frames before them are shown in their place.");
    EXPECT_EQ(RunModal(form, [&] { PostFinished(form, 20, 100, warning); }), mrOK);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, warning);
    EXPECT_EQ(boxes.Boxes[0].Icon, miWarning);
}

// What the engine gave up to meet the size limit is told as information, after the maximum frame
// count and before a warning; without any of them no box shows.
TEST(PublishForm, EndNotesTellTheSizeReportAsInformation) {
    TBoxRecorder boxes;
    TPublishForm form;
    const QString report =
        QStringLiteral("target 1.0 MB: 0.98 MB at quality 62, 10 fps, 480 × 270");
    const QString warning = QStringLiteral("The video ends at 00:00:04.000.");
    form.ShowEndNotes(true, report, warning);
    ASSERT_EQ(boxes.Boxes.size(), 3u);
    EXPECT_EQ(boxes.Boxes[0].Text, maxFrameText);
    EXPECT_TRUE(boxes.Boxes[1].Text.endsWith(report)) << boxes.Boxes[1].Text.toStdString();
    EXPECT_TRUE(boxes.Boxes[1].Text.contains(QStringLiteral("size limit")));
    EXPECT_EQ(boxes.Boxes[1].Icon, miInformation);
    EXPECT_EQ(boxes.Boxes[1].Buttons, mbOK);
    EXPECT_EQ(boxes.Boxes[2].Text, warning);
    EXPECT_EQ(boxes.Boxes[2].Icon, miWarning);

    boxes.Boxes.clear();
    form.ShowEndNotes(false, report, QString());
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Icon, miInformation);
    boxes.Boxes.clear();
    form.ShowEndNotes(false, QString(), QString());
    EXPECT_TRUE(boxes.Boxes.empty());
}

TEST(PublishForm, EngineErrorShowsItsOwnTextAndFails) {
    TBoxRecorder boxes;
    TPublishForm form;
    const QString error = QStringLiteral("Writing the GIF file \"/x/preview.gif\" failed.");
    EXPECT_EQ(RunModal(form,
                       [&] {
                           PostFailed(form, error);
                           // A later message changes nothing.
                           PostFinished(form, 5, 100);
                       }),
              mrCancel);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, error);
    EXPECT_EQ(boxes.Boxes[0].Icon, miError);
}

TEST(PublishForm, CancelAnsweredYesStopsTheEngineAndFails) {
    TBoxRecorder boxes;
    boxes.Answers = {mrYes};
    TPublishForm form;
    form.SetThread(IdleThread());
    EXPECT_EQ(RunModal(form, [&] { QTest::mouseClick(form.btnCancel, Qt::LeftButton); }), mrCancel);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Stop conversion now?")});
    EXPECT_EQ(boxes.Boxes[0].Buttons, mbYesNo);
    EXPECT_TRUE(form.Thread()->Terminated());
}

TEST(PublishForm, CancelAnsweredNoGoesOnAndMessagesMeanwhileAreKept) {
    TBoxRecorder boxes;
    boxes.Answers = {mrNo};
    TPublishForm form;
    form.SetThread(IdleThread());
    // The engine finishes while the question is open: handled once the user said No.
    boxes.OnBox = [&](const TMsgBoxRequest&) {
        SendReport(&form, Report::ConvertProgress{60});
        SendReport(&form, Report::ConvertFinished{10, 100, {}});
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.pbProgress->value(), 0);
    };
    EXPECT_EQ(RunModal(form, [&] { QTest::mouseClick(form.btnCancel, Qt::LeftButton); }), mrOK);
    EXPECT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_FALSE(form.Thread()->Terminated());
}

TEST(PublishForm, EscapeAndTheWindowManagerAskAsCancelDoes) {
    TBoxRecorder boxes;
    boxes.Answers = {mrNo, mrYes};
    TPublishForm form;
    form.SetThread(IdleThread());
    bool openAfterNo = false;
    const int result = RunModal(form, [&] {
        QTest::keyClick(&form, Qt::Key_Escape);
        openAfterNo = form.isVisible();
        form.close(); // as the window manager's close button does
    });
    EXPECT_TRUE(openAfterNo);
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(boxes.Texts(), QStringList(2, QStringLiteral("Stop conversion now?")));
    EXPECT_TRUE(form.Thread()->Terminated());
}

TEST(PublishForm, MinimizeMinimisesTheWholeProgram) {
    QWidget other;
    other.resize(200, 100);
    other.show();
    TPublishForm form;
    form.show();
    QTest::mouseClick(form.btnMinimize, Qt::LeftButton);
    EXPECT_TRUE(other.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(form.windowState() & Qt::WindowMinimized);
}

TEST(PublishConversion, RealConversionMakesTheGifAndReturnsTrue) {
    QTemporaryDir dir;
    TBoxRecorder boxes;
    const QString gif = dir.filePath(QStringLiteral("preview.gif"));
    auto project = ClipProject(gif);
    TProgressSpy progress;
    EXPECT_TRUE(ExecutePublishForm(project.get()));
    EXPECT_TRUE(boxes.Boxes.empty()) << boxes.Texts().join(QLatin1Char('|')).toStdString();
    // The engine reported its progress to the window, ending at 100 %.
    ASSERT_FALSE(progress.Percents.empty());
    EXPECT_TRUE(std::is_sorted(progress.Percents.begin(), progress.Percents.end()));
    EXPECT_EQ(progress.Percents.back(), 100);
    const TDecodedGif decoded = DecodeGifFile(gif);
    ASSERT_TRUE(decoded.Ok);
    EXPECT_EQ(QSize(decoded.Width, decoded.Height), QSize(320, 180));
    EXPECT_GE(decoded.Images.size(), 9u);
}

TEST(PublishConversion, MaximumFrameCountReachedIsToldAndTheGifIsKept) {
    QTemporaryDir dir;
    TBoxRecorder boxes;
    const QString gif = dir.filePath(QStringLiteral("preview.gif"));
    auto project = ClipProject(gif, 1.0, 4);
    EXPECT_TRUE(ExecutePublishForm(project.get()));
    EXPECT_EQ(boxes.Texts(), QStringList{maxFrameText});
    EXPECT_TRUE(QFile::exists(gif));
}

TEST(PublishConversion, UnwritableGifShowsTheEngineMessageAndLeavesNoFile) {
    QTemporaryDir dir;
    TBoxRecorder boxes;
    // The work folder's place is taken by a file: nothing can be written there.
    const QString blocker = dir.filePath(QStringLiteral("Temp"));
    ASSERT_TRUE(WriteFile(blocker, "not a folder"));
    const QString gif = blocker + QStringLiteral("/preview.gif");
    auto project = ClipProject(gif);
    EXPECT_FALSE(ExecutePublishForm(project.get()));
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_TRUE(boxes.Boxes[0].Text.contains(blocker)) << boxes.Boxes[0].Text.toStdString();
    EXPECT_FALSE(QFile::exists(gif));
}

// The project's size limit reaches the engine; the GIF fits it and the user is told what was given
// up, as information.
TEST(PublishConversion, ASizeLimitIsMetAndWhatItTookIsShown) {
    QTemporaryDir dir;
    TBoxRecorder boxes;
    const QString gif = dir.filePath(QStringLiteral("preview.gif"));
    auto project = ClipProject(gif);
    project->GifMaxSize = 40'000;
    EXPECT_TRUE(ExecutePublishForm(project.get()));
    ASSERT_TRUE(QFile::exists(gif));
    EXPECT_LE(QFileInfo(gif).size(), 40'000);
    ASSERT_EQ(boxes.Boxes.size(), 1u) << boxes.Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(boxes.Boxes[0].Icon, miInformation);
    EXPECT_TRUE(boxes.Boxes[0].Text.contains(QStringLiteral("target 40 KB: ")))
        << boxes.Boxes[0].Text.toStdString();
}

// A quality or size limit the project should never hold (a settings file edited by hand) is
// refused by the engine before any work: its message shows and no GIF is written.
TEST(PublishConversion, AnUnusableQualityOrSizeLimitIsRefusedWithoutAGif) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("preview.gif"));
    for (const auto& [quality, limit] : {std::pair{0, int64_t(0)}, std::pair{101, int64_t(0)},
                                         std::pair{90, int64_t(10)}, std::pair{90, int64_t(-1)}}) {
        TBoxRecorder boxes;
        auto project = ClipProject(gif);
        project->GifQuality = quality;
        project->GifMaxSize = limit;
        EXPECT_FALSE(ExecutePublishForm(project.get())) << quality << " " << limit;
        ASSERT_EQ(boxes.Boxes.size(), 1u);
        EXPECT_EQ(boxes.Boxes[0].Icon, miError);
        EXPECT_TRUE(boxes.Boxes[0].Text.contains(quality == 90 ? QStringLiteral("size")
                                                               : QStringLiteral("quality")))
            << boxes.Boxes[0].Text.toStdString();
        EXPECT_FALSE(QFile::exists(gif));
    }
}

TEST(PublishConversion, CancelConfirmedDuringARealRunReturnsFalseWithoutAGif) {
    QTemporaryDir dir;
    TBoxRecorder boxes;
    boxes.Answers = {mrYes};
    const QString gif = dir.filePath(QStringLiteral("preview.gif"));
    auto project = ClipProject(gif, 3.0);
    QTimer click;
    click.setSingleShot(true);
    QObject::connect(&click, &QTimer::timeout, [] {
        if (auto* form = FindVisibleWindow<TPublishForm>())
            QTest::mouseClick(form->btnCancel, Qt::LeftButton);
    });
    click.start(30);
    EXPECT_FALSE(ExecutePublishForm(project.get()));
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Stop conversion now?")});
    // The engine's thread has ended when the call returns, and it left no file.
    EXPECT_FALSE(QFile::exists(gif));
}
