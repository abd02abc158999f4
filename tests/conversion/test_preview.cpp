// The preview window: sizing to the GIF and the work area, fitting on resize, loading after the
// first paint, saving copies, the folder opener, the background colour, the question on closing
// unsaved, and GIFs that cannot be shown.

#include "conversion/PreviewFrm.h"
#include "conversion/PublishFrm.h"
#include "conversion/VideoPreview.h"
#include "gifimage/GIFView.h"
#include "tests/conversion/ConversionTestUtils.h"
#include "tests/gifimage/GifMaker.h"
#include "tests/support/AnimDecode.h"
#include "tests/support/DesktopRecorder.h"
#include "tests/support/TestUtils.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A project whose output is `size` and whose GIF is a two-frame animation of that size
// (or the given bytes).
class PreviewTest : public ::testing::Test {
protected:
    void MakeProject(const QSize& size, const QByteArray& gifBytes = {}) {
        FProject = std::make_unique<TVGProj>([] { return TProjectDefaults(); });
        FProject->SizeStyle = ssOriginal;
        FProject->VideoWidth = size.width();
        FProject->VideoHeight = size.height();
        FProject->CropRect = TRectL{0, 0, size.width(), size.height()};
        FProject->VideoFile = FDir.filePath(QStringLiteral("videos/holiday.clip.mp4"));
        FProject->GifFile = FDir.filePath(QStringLiteral("preview.gif"));
        QByteArray bytes = gifBytes;
        if (bytes.isNull()) {
            TTestGif gif{
                std::min(size.width(), 400), std::min(size.height(), 300), FourColours(), 0, {}};
            gif.Frames.push_back(FilledFrame(QRect(0, 0, gif.Width, gif.Height), 2, 1, 5));
            gif.Frames.push_back(FilledFrame(QRect(0, 0, 10, 10), 0, 1, 5));
            bytes = WriteTestGif(gif);
        }
        ASSERT_TRUE(WriteFile(FProject->GifFile, bytes));
    }

    // The picture lies centred in pnlGIF, inside a 24-pixel margin, with the GIF's proportions.
    static void ExpectFitted(const TPreviewForm& form) {
        const QRect panel = form.pnlGIF->rect();
        const QRect picture = form.Image1->geometry();
        EXPECT_TRUE(panel.adjusted(24, 24, -24, -24).contains(picture))
            << picture.width() << "x" << picture.height();
        EXPECT_LE(std::abs(picture.center().x() - panel.center().x()), 1);
        EXPECT_LE(std::abs(picture.center().y() - panel.center().y()), 1);
        // A GIF that fits is shown at its own size, pixel for pixel; a bigger one touches the
        // margin on one axis.
        const QSize gif = form.GifSize();
        if (gif.width() <= panel.width() - 48 && gif.height() <= panel.height() - 48)
            EXPECT_EQ(picture.size(), gif);
        else
            EXPECT_TRUE(picture.width() >= panel.width() - 49 ||
                        picture.height() >= panel.height() - 49);
        const double want = double(form.GifSize().width()) / form.GifSize().height();
        EXPECT_NEAR(double(picture.width()) / picture.height(), want, 0.02);
    }

    QTemporaryDir FDir;
    std::unique_ptr<TVGProj> FProject;
};

QSize WorkArea() {
    return QGuiApplication::primaryScreen()->availableGeometry().size();
}

} // namespace

TEST_F(PreviewTest, SmallGifKeepsTheDesignSizeWithTheAnimationCentred) {
    MakeProject(QSize(120, 90));
    TPreviewForm form;
    form.SetProject(FProject.get());
    form.SizeWindow();
    form.show();
    EXPECT_EQ(form.GifSize(), QSize(120, 90));
    EXPECT_EQ(form.size(), QSize(624, 447));
    EXPECT_EQ(form.pnlGIF->geometry(), QRect(22, 48, 579, 336));
    ExpectFitted(form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Preview GIF"));
    EXPECT_FALSE(form.btnOpenFolder->isEnabled());
    EXPECT_FALSE(form.btnOkMe->isVisibleTo(&form));
}

TEST_F(PreviewTest, GifLargerThanTheWorkAreaGivesAWindowOfTheWorkArea) {
    MakeProject(QSize(4000, 3000));
    TPreviewForm form;
    form.SetProject(FProject.get());
    form.SizeWindow();
    form.show();
    EXPECT_EQ(form.size(), WorkArea());
    EXPECT_EQ(form.pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    ExpectFitted(form);
    // A GIF a little larger than the design: the window grows by the GIF's margins.
    MakeProject(QSize(600, 320));
    TPreviewForm wide;
    wide.SetProject(FProject.get());
    wide.SizeWindow();
    EXPECT_EQ(wide.size(), QSize(std::min(693, WorkArea().width()), 479));
}

TEST_F(PreviewTest, ResizingKeepsTheAnimationFittedAndCentred) {
    MakeProject(QSize(320, 180));
    TPreviewForm form;
    form.SetProject(FProject.get());
    // The colour caption sits 12 pixels left of its design place and keeps its distance to the
    // bottom right corner, also when the window was resized before it was first shown.
    const QRect label = form.lblBK->geometry();
    EXPECT_EQ(label.x(), 404);
    form.resize(900, 600);
    form.SizeWindow();
    form.show();
    for (const QSize& size : {QSize(700, 460), QSize(500, 700), QSize(640, 360)}) {
        form.resize(size);
        EXPECT_EQ(form.pnlGIF->size(), size - QSize(45, 111));
        ExpectFitted(form);
        EXPECT_EQ(form.lblBK->geometry(),
                  label.translated(size.width() - 624, size.height() - 447));
    }
    EXPECT_GE(form.minimumWidth(), 486);
}

TEST_F(PreviewTest, LoadsAfterTheFirstPaintAndPlays) {
    MakeProject(QSize(200, 150));
    TBoxRecorder boxes;
    TPreviewForm form;
    form.SetProject(FProject.get());
    form.SizeWindow();
    EXPECT_EQ(form.Gif(), nullptr);
    form.show();
    ASSERT_TRUE(WaitFor([&] { return form.Gif() != nullptr; }));
    EXPECT_EQ(form.Gif()->FrameCount(), 2);
    EXPECT_EQ(form.lblProgress->text(), QStringLiteral("Loading...100%"));
    EXPECT_FALSE(form.lblProgress->isVisible());
    EXPECT_EQ(form.Image1->Player()->CurrentFrame().pixel(50, 50), FourColours()[2]);
    EXPECT_TRUE(WaitFor([&] { return form.Image1->Player()->CurrentIndex() == 1; }));
    EXPECT_TRUE(boxes.Boxes.empty());
    boxes.Answers = {mrOK};
    form.close();
}

TEST_F(PreviewTest, ClosingUnsavedAsksOnceAndCancelKeepsThePreview) {
    MakeProject(QSize(100, 100));
    TBoxRecorder boxes;
    boxes.Answers = {mrCancel, mrOK};
    TPreviewForm form;
    form.SetProject(FProject.get());
    form.SizeWindow();
    bool openAfterCancel = false;
    int asksAfterFirstClose = 0;
    QTimer::singleShot(0, &form, [&] {
        QTest::mouseClick(form.btnClose, Qt::LeftButton);
        openAfterCancel = form.isVisible();
        asksAfterFirstClose = static_cast<int>(boxes.Boxes.size());
        QTest::keyClick(&form, Qt::Key_Escape);
    });
    form.ShowModal();
    EXPECT_TRUE(openAfterCancel);
    EXPECT_EQ(asksAfterFirstClose, 1);
    EXPECT_EQ(boxes.Texts(), QStringList(2, QStringLiteral("Close without saving gif file?")));
    EXPECT_EQ(boxes.Boxes[0].Buttons, mbOKCancel);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(PreviewTest, SaveCopiesTheGifByteForByteAndOpensItsFolder) {
    MakeProject(QSize(100, 80));
    TBoxRecorder boxes;
    std::vector<TSaveDialogRequest> requests;
    const QString target = FDir.filePath(QStringLiteral("out/saved.gif"));
    ASSERT_TRUE(QDir().mkpath(FDir.filePath(QStringLiteral("out"))));
    // An older, longer file at the target is replaced whole.
    ASSERT_TRUE(WriteFile(target, QByteArray(100000, 'x')));
    const auto oldDialog =
        TPreviewForm::SetSaveDialog([&](QWidget*, const TSaveDialogRequest& request) {
            requests.push_back(request);
            return target;
        });
    TDesktopRecorder desktop;
    QStringList& opened = desktop.Opened;
    TPreviewForm form;
    form.SetProject(FProject.get());
    QTest::mouseClick(form.btnSave, Qt::LeftButton);
    QTest::mouseClick(form.btnSave, Qt::LeftButton);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].FileName, FDir.filePath(QStringLiteral("videos/holiday.clip.gif")));
    EXPECT_EQ(requests[0].Filter, QStringLiteral("GIF files (*.gif)"));
    EXPECT_EQ(requests[0].DefaultSuffix, QStringLiteral("gif"));
    EXPECT_EQ(requests[1].FileName, target); // the dialog starts where the user saved last
    QFile saved(target), original(FProject->GifFile);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), original.readAll());
    EXPECT_TRUE(form.btnOpenFolder->isEnabled());
    QTest::mouseClick(form.btnOpenFolder, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{FDir.filePath(QStringLiteral("out"))});
    // Saved: closing asks nothing.
    form.show();
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(boxes.Boxes.empty());
    EXPECT_EQ(QDir(FDir.filePath(QStringLiteral("out"))).entryList(QDir::Files),
              QStringList{QStringLiteral("saved.gif")});
    TPreviewForm::SetSaveDialog(oldDialog);
}

TEST_F(PreviewTest, FailingSaveSaysSoNamingThePathAndEnablesNothing) {
    MakeProject(QSize(100, 80));
    TBoxRecorder boxes;
    QStringList targets = {FDir.filePath(QStringLiteral("no/such/folder/a.gif")),
                           FDir.filePath(QStringLiteral("videos"))};
    ASSERT_TRUE(QDir().mkpath(targets[1])); // a folder where the file should go
    const auto oldDialog = TPreviewForm::SetSaveDialog(
        [&](QWidget*, const TSaveDialogRequest&) { return targets.takeFirst(); });
    TPreviewForm form;
    form.SetProject(FProject.get());
    QTest::mouseClick(form.btnSave, Qt::LeftButton);
    QTest::mouseClick(form.btnSave, Qt::LeftButton);
    ASSERT_EQ(boxes.Boxes.size(), 2u);
    EXPECT_TRUE(
        boxes.Boxes[0].Text.contains(FDir.filePath(QStringLiteral("no/such/folder/a.gif"))));
    EXPECT_TRUE(boxes.Boxes[1].Text.contains(FDir.filePath(QStringLiteral("videos"))));
    EXPECT_EQ(boxes.Boxes[0].Icon, miError);
    EXPECT_FALSE(form.btnOpenFolder->isEnabled());
    EXPECT_FALSE(QFile::exists(FDir.filePath(QStringLiteral("no/such/folder/a.gif"))));
    EXPECT_TRUE(QDir(FDir.filePath(QStringLiteral("videos"))).isEmpty());
    TPreviewForm::SetSaveDialog(oldDialog);
}

TEST_F(PreviewTest, BackgroundColourBoxColoursThePanel) {
    MakeProject(QSize(100, 80));
    TPreviewForm form;
    EXPECT_EQ(form.pnlGIF->Color(), QColor(Qt::white));
    EXPECT_EQ(form.ceBK->SelectedColor(), 0xFFFFFFu);
    form.ceBK->SetSelectedColor(0x0000FF); // red as the program stores colours
    EXPECT_EQ(form.pnlGIF->Color(), QColor(255, 0, 0));
    // The label sits left of the colour box, moved 12 pixels from its design place.
    EXPECT_LT(form.lblBK->geometry().right(), form.ceBK->x());
}

TEST_F(PreviewTest, GifsThatCannotBeShownGiveAMessageAndTheWindowStillCloses) {
    TTestGif good{50, 40, FourColours(), std::nullopt, {}};
    good.Frames.push_back(FilledFrame(QRect(0, 0, 50, 40), 1));
    const QByteArray whole = WriteTestGif(good);
    TTestGif huge{16384, 16384, FourColours(), std::nullopt, {}};
    huge.Frames.push_back(FilledFrame(QRect(0, 0, 1, 1), 1));
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {QByteArray(""), QStringLiteral("empty")},
        {QByteArray("this is no picture at all"), QStringLiteral("not a GIF")},
        {whole.left(whole.size() / 2), QStringLiteral("cut short")},
        {WriteTestGif(huge), QStringLiteral("16384")}};
    for (const auto& [bytes, words] : cases) {
        MakeProject(QSize(50, 40), bytes);
        TBoxRecorder boxes;
        boxes.Answers = {mrOK, mrOK};
        TPreviewForm form;
        form.SetProject(FProject.get());
        form.SizeWindow();
        QTimer::singleShot(0, &form, [&] {
            form.LoadGif();
            form.close();
        });
        form.ShowModal();
        EXPECT_EQ(form.Gif(), nullptr);
        ASSERT_EQ(boxes.Boxes.size(), 2u) << words.toStdString();
        EXPECT_TRUE(boxes.Boxes[0].Text.contains(words)) << boxes.Boxes[0].Text.toStdString();
        EXPECT_EQ(boxes.Boxes[1].Text, QStringLiteral("Close without saving gif file?"));
        EXPECT_FALSE(form.isVisible());
    }
}

TEST_F(PreviewTest, GifCutShortAfterWholeFramesPlaysThemWithAWarning) {
    TTestGif gif{50, 40, FourColours(), 0, {}};
    for (unsigned char i = 0; i < 3; ++i)
        gif.Frames.push_back(FilledFrame(QRect(0, 0, 50, 40), i));
    const QByteArray whole = WriteTestGif(gif);
    // Cut inside the third frame's data.
    MakeProject(QSize(50, 40), whole.left(whole.size() - 8));
    TBoxRecorder boxes;
    TPreviewForm form;
    form.SetProject(FProject.get());
    form.LoadGif();
    ASSERT_NE(form.Gif(), nullptr);
    EXPECT_EQ(form.Gif()->FrameCount(), 2);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_TRUE(boxes.Boxes[0].Text.contains(FProject->GifFile));
    EXPECT_EQ(boxes.Boxes[0].Icon, miWarning);
    EXPECT_EQ(form.Image1->Player()->CurrentFrame().pixel(0, 0), FourColours()[0]);
}

TEST_F(PreviewTest, ExecutePreviewFormShowsTheGifUntilClosed) {
    MakeProject(QSize(160, 120));
    TBoxRecorder boxes;
    boxes.Answers = {mrOK};
    bool loaded = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* form = FindVisibleWindow<TPreviewForm>();
        if (form && form->Gif()) {
            loaded = true;
            poll.stop();
            QTest::mouseClick(form->btnClose, Qt::LeftButton);
        }
    });
    poll.start(10);
    ExecutePreviewForm(FProject.get());
    EXPECT_TRUE(loaded);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Close without saving gif file?")});
    EXPECT_EQ(FindVisibleWindow<TPreviewForm>(), nullptr);
}

// A WebP and an MP4 made from a real clip: the progress window names the format, the preview
// plays the file (its pictures change), and saving offers the format's own name and filter and
// copies the file as made.
TEST(PreviewFormats, AWebPAndAnMp4PlayInThePreviewAndSaveUnderTheirOwnNames) {
    QTemporaryDir dir;
    for (const TOutputFormat format : {TOutputFormat::WebP, TOutputFormat::Mp4}) {
        const QString name = FormatName(format), suffix = FormatExtension(format);
        SCOPED_TRACE(name.toStdString());
        const auto project = ClipProject(dir.filePath("preview." + suffix));
        project->OutputFormat = format;
        {
            TPublishForm progress;
            progress.SetProject(project.get());
            EXPECT_EQ(progress.lblInfo->text(), "Converting to " + name + "...please wait...");
        }
        ASSERT_TRUE(ExecutePublishForm(project.get()));
        std::vector<TSaveDialogRequest> requests;
        const QString target = dir.filePath("saved." + suffix);
        const auto oldDialog =
            TPreviewForm::SetSaveDialog([&](QWidget*, const TSaveDialogRequest& request) {
                requests.push_back(request);
                return target;
            });
        QSize shownSize;
        QImage first, later;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* form = FindVisibleWindow<TPreviewForm>();
            auto* view = form ? form->findChild<TVideoPreview*>() : nullptr;
            if (!view || !view->isVisible() || view->PicturesShown() < 1)
                return;
            if (first.isNull())
                first = view->grab().toImage();
            if (view->PicturesShown() < 4)
                return;
            later = view->grab().toImage();
            shownSize = view->PictureSize();
            poll.stop();
            EXPECT_EQ(form->btnSave->text(), "Save " + name + " File");
            QTest::mouseClick(form->btnSave, Qt::LeftButton);
            QTest::mouseClick(form->btnClose, Qt::LeftButton);
        });
        poll.start(10);
        ExecutePreviewForm(project.get());
        TPreviewForm::SetSaveDialog(oldDialog);
        // 1280 × 720 at a quarter: 320 × 180, even, the same in both formats.
        EXPECT_EQ(shownSize, QSize(320, 180));
        EXPECT_GT(MeanColourDifference(first, later), 1.0); // it plays
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].Caption, "Save " + name + " File");
        EXPECT_TRUE(requests[0].FileName.endsWith("bear-h264-1280x720." + suffix));
        EXPECT_EQ(requests[0].Filter, name + " files (*." + suffix + ")");
        EXPECT_EQ(requests[0].DefaultSuffix, suffix);
        EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(project->GifFile));
    }
}
