// Frame extraction and the conversion request on generated test videos whose frames carry their
// own index.

#include "app/VGApp.h"
#include "common/Messages.h"
#include "decoder/FFDecoder.h"
#include "engine/Video2Gif.h"
#include "project/FrameWriter.h"
#include "project/VGProject.h"
#include "tests/fixtures/generator/FramePattern.h"
#include "tests/support/GifDecode.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString video = QStringLiteral(VG_FIXTURE_DIR "/h264-bframes-320x240-25fps.mp4");
constexpr int64_t period = 40000; // 25 frames per second

// Counts the steps the project asks for itself, outside the decoder's own locate.
class TCountingDecoder : public TFFDecoder {
public:
    bool Decode(int count = -1) override {
        ++Decodes;
        return TFFDecoder::Decode(count);
    }
    bool LocateVideoPTS(int64_t pts) override {
        const int before = Decodes;
        const bool ok = TFFDecoder::LocateVideoPTS(pts);
        Decodes = before;
        return ok;
    }
    int Decodes = 0;
};

class TProgressWindow : public QObject {
public:
    bool event(QEvent* event) override {
        if (const auto* extract = ReportOf<Report::ExtractProgress>(event)) {
            Progress.push_back({extract->Done, extract->Asked});
            return true;
        }
        // The conversion's end or failure, by its number.
        if (ReportOf<Report::ConvertFinished>(event) || ReportOf<Report::ConvertFailed>(event)) {
            Other.push_back(static_cast<int>(event->type()));
            return true;
        }
        return QObject::event(event);
    }
    std::vector<std::pair<qint64, qint64>> Progress;
    std::vector<int> Other;
};

// Every test gets its own data folder and application core, for the frame pictures.
class ProjectExtract : public ::testing::Test {
protected:
    void SetUp() override {
        FApp = std::make_unique<TApp>(QStringLiteral(VG_PROGRAM_DIR));
        App = FApp.get();
        ASSERT_TRUE(Decoder.LoadFile(video)) << video.toStdString();
        Project.VideoFile = video;
        Project.ReadStreamInfo(&Decoder);
        Project.StartPTS = 0;
        Project.EndPTS = Project.Duration;
    }
    void TearDown() override { App = nullptr; }
    int Index(const TVGFrame* frame) const {
        return fixture::ReadIndexPattern(QImage(frame->FileName));
    }
    QStringList WorkFiles() const { return QDir(FApp->TempPath).entryList(QDir::Files); }

    TScopedUserFolders Folders;
    std::unique_ptr<TApp> FApp;
    TCountingDecoder Decoder;
    TVGProj Project{[] { return TProjectDefaults(); }};
    TProgressWindow Window;
};
} // namespace

TEST_F(ProjectExtract, StreamFactsAreRead) {
    EXPECT_TRUE(Project.IsVideoValid());
    EXPECT_EQ(Project.VideoWidth, 320);
    EXPECT_EQ(Project.VideoHeight, 240);
    EXPECT_DOUBLE_EQ(Project.FrameRate, 25.0);
    EXPECT_EQ(TVGProj::FrameDuration(&Decoder), 40000);
    EXPECT_NEAR(static_cast<double>(Project.Duration), 150 * 40000.0, 40000.0);
}

TEST_F(ProjectExtract, AGroupIsTheRightFramesLinkedSortedAndWrittenOnce) {
    std::vector<TVGFrame*> group;
    Project.ExtractFrames(&Decoder, 30, &Window, group, 60 * period + 5000);
    ASSERT_EQ(group.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(Index(group[static_cast<size_t>(i)]), 60 + i);
        if (i > 0) {
            EXPECT_EQ(group[static_cast<size_t>(i)]->Prior, group[static_cast<size_t>(i - 1)]);
            EXPECT_EQ(group[static_cast<size_t>(i - 1)]->Next, group[static_cast<size_t>(i)]);
            EXPECT_GT(group[static_cast<size_t>(i)]->PTS, group[static_cast<size_t>(i - 1)]->PTS);
        }
    }
    ASSERT_EQ(Window.Progress.size(), 31u);
    for (size_t i = 0; i < Window.Progress.size(); ++i)
        EXPECT_EQ(Window.Progress[i], std::make_pair(qint64(i), qint64(30)));
    EXPECT_EQ(WorkFiles().size(), 30);

    // The same group again: found by its links, no file written, nothing decoded beyond the
    // locate.
    Decoder.Decodes = 0;
    std::vector<TVGFrame*> again;
    Project.ExtractFrames(&Decoder, 30, &Window, again, 60 * period + 5000);
    EXPECT_EQ(again, group);
    EXPECT_EQ(Decoder.Decodes, 0);
    EXPECT_EQ(WorkFiles().size(), 30);
    EXPECT_EQ(Project.Frames.Count(), 30);

    // An overlapping later group reuses the shared frames and adds the rest.
    std::vector<TVGFrame*> later;
    Project.ExtractFrames(&Decoder, 30, &Window, later, 75 * period);
    ASSERT_EQ(later.size(), 30u);
    EXPECT_EQ(later.front(), group[15]);
    EXPECT_EQ(Index(later.back()), 104);
    EXPECT_EQ(Project.Frames.Count(), 45);
    EXPECT_EQ(WorkFiles().size(), 45);
}

TEST_F(ProjectExtract, AGroupAtTheEndIsShorterAndReportsEachFrame) {
    std::vector<TVGFrame*> group;
    Project.ExtractFrames(&Decoder, 30, &Window, group, 140 * period);
    ASSERT_EQ(group.size(), 10u);
    EXPECT_EQ(Index(group.back()), 149);
    EXPECT_EQ(Window.Progress.size(), 11u);
}

TEST_F(ProjectExtract, TheGroupBeforeATimeEndsAtTheFrameShownThere) {
    std::vector<TVGFrame*> group;
    Project.ExtractFramesBefore(&Decoder, 30, &Window, group, 100 * period);
    ASSERT_FALSE(group.empty());
    EXPECT_EQ(Index(group.front()), 70);
    EXPECT_EQ(Index(group.back()), 100);
    // Less than N frame periods into the video: located at 0.
    std::vector<TVGFrame*> early;
    Project.ExtractFramesBefore(&Decoder, 30, &Window, early, 5 * period);
    ASSERT_FALSE(early.empty());
    EXPECT_EQ(Index(early.front()), 0);
    EXPECT_EQ(Index(early.back()), 5);
}

TEST_F(ProjectExtract, ATypedStartSnapsToTheFrameShownAtThatMillisecond) {
    Project.StartPTS = StrToPTS(QStringLiteral("00:00:01.000"), 3);
    std::vector<TVGFrame*> group;
    Project.ExtractFrames(&Decoder, 3, &Window, group, 24 * period);
    ASSERT_EQ(group.size(), 3u);
    const TVGFrame* shown = group[1];
    EXPECT_EQ(FormatPTS(shown->PTS, 3), QStringLiteral("00:00:01.000"));
    EXPECT_EQ(Project.StartPTS, shown->PTS);
}

TEST_F(ProjectExtract, TheConversionLeavesOutDeletedFramesOfTheClip) {
    std::vector<TVGFrame*> group;
    Project.ExtractFrames(&Decoder, 30, &Window, group, 0);
    ASSERT_EQ(group.size(), 30u);
    for (int i = 10; i < 20; ++i)
        group[static_cast<size_t>(i)]->Deleted = true;
    Project.StartPTS = group.front()->PTS;
    Project.EndPTS = group.back()->PTS;
    Project.GifFPS = 25;
    Project.SizeStyle = ssOriginal;
    Project.GifFile = FApp->TempPath + QLatin1String("preview.gif");
    ASSERT_TRUE(Project.HasDeletedFrameInClip());
    auto thread = Project.StartConversion(&Window);
    thread->wait();
    QCoreApplication::processEvents();
    ASSERT_TRUE(thread->Result().Ok) << thread->Result().Error.toStdString();
    ASSERT_FALSE(Window.Other.empty());
    EXPECT_EQ(Window.Other.back(), Msg::ConvertFinished);
    const TDecodedGif gif = DecodeGifFile(Project.GifFile);
    ASSERT_TRUE(gif.Ok);
    std::vector<int> shown;
    for (const QImage& frame : gif.Composed) {
        const int index = fixture::ReadIndexPattern(frame.convertToFormat(QImage::Format_RGB32));
        if (shown.empty() || shown.back() != index)
            shown.push_back(index);
    }
    std::vector<int> expected;
    for (int i = 0; i < 30; ++i)
        if (i < 10 || i >= 20)
            expected.push_back(i);
    EXPECT_EQ(shown, expected);
}

TEST(ProjectBadInput, FilesWithoutUsableVideoLeaveTheProjectInvalid) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.mp4"));
    const QString empty = dir.filePath(QStringLiteral("empty.mp4"));
    const QString half = dir.filePath(QStringLiteral("half.mp4"));
    ASSERT_TRUE(WriteFile(text, "not a video at all"));
    ASSERT_TRUE(WriteFile(empty, QByteArray()));
    {
        // bbb keeps its index at the end: cut in half, the file has no index at all.
        QFile whole(QStringLiteral(VG_MEDIA_DIR "/bbb-h264-854x480-30s.mp4"));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        ASSERT_TRUE(WriteFile(half, whole.read(whole.size() / 2)));
    }
    const QString files[] = {text, empty, half, dir.filePath(QStringLiteral("missing.mp4")),
                             QStringLiteral(VG_MEDIA_DIR "/audio-only-mp3-with-cover-art-30s.mp3")};
    for (const QString& file : files) {
        TFFDecoder decoder;
        decoder.LoadFile(file);
        TVGProj project([] { return TProjectDefaults(); });
        project.ReadStreamInfo(&decoder);
        EXPECT_FALSE(project.IsVideoValid()) << file.toStdString();
        EXPECT_EQ(project.VideoWidth, 0);
        EXPECT_EQ(project.FrameRate, 0.0);
        std::vector<TVGFrame*> group;
        project.ExtractFrames(&decoder, 30, nullptr, group, 0);
        EXPECT_TRUE(group.empty());
    }
}

TEST_F(ProjectExtract, PicturesLetGoToKeepTheWorkFolderSmallAreMadeAgainFromTheVideo) {
    TFrameWriter writer;
    Project.PictureWriter = &writer;
    std::vector<TVGFrame*> first, second;
    Project.ExtractFrames(&Decoder, 10, &Window, first, 20 * period);
    Project.ExtractFrames(&Decoder, 10, &Window, second, 30 * period);
    ASSERT_EQ(first.size(), 10u);
    ASSERT_EQ(second.size(), 10u);
    writer.Flush();
    // The strip shows the second group; the folder's budget holds about ten pictures.
    QStringList shown;
    for (const TVGFrame* frame : second)
        shown << frame->FileName;
    const qint64 onePicture = QFileInfo(shown.front()).size();
    writer.SetKept(shown);
    writer.SetBudget(onePicture * 10 + onePicture / 2);
    EXPECT_LE(writer.WrittenBytes(), onePicture * 10 + onePicture / 2);
    EXPECT_EQ(WorkFiles().size(), 10);
    for (const TVGFrame* frame : first) {
        EXPECT_TRUE(Project.IsPictureGone(frame));
        EXPECT_FALSE(QFile::exists(frame->FileName));
    }
    for (const TVGFrame* frame : second)
        EXPECT_FALSE(Project.IsPictureGone(frame));

    // Back to the first group: the same frames, their pictures made again under the same names.
    std::vector<TVGFrame*> back;
    Project.ExtractFrames(&Decoder, 10, &Window, back, 20 * period);
    EXPECT_EQ(back, first);
    writer.SetKept([&] {
        QStringList names;
        for (const TVGFrame* frame : back)
            names << frame->FileName;
        return names;
    }());
    writer.Flush();
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_FALSE(Project.IsPictureGone(back[i]));
        EXPECT_EQ(Index(back[i]), 20 + int(i));
    }
    // Now the second group made way, and the folder stayed within its budget.
    EXPECT_EQ(WorkFiles().size(), 10);
    EXPECT_TRUE(Project.IsPictureGone(second.back()));
    Project.PictureWriter = nullptr;
}
