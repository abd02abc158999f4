// Whole conversions of real videos, read back with an independent GIF decoder.

#include "common/Messages.h"
#include "decoder/FFDecoder.h"
#include "engine/Video2Gif.h"
#include "tests/fixtures/generator/FramePattern.h"
#include "tests/support/AnimDecode.h"
#include "tests/support/GifDecode.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString bear = QStringLiteral(VG_MEDIA_DIR "/bear-h264-1280x720.mp4");

TConversionRequest Request(const QString& gif) {
    TConversionRequest r;
    r.VideoFile = bear;
    r.GifFile = gif;
    r.StartPTS = 0;
    r.EndPTS = 1000000;
    r.SizeScale = 0.25;
    r.GifFPS = 10;
    r.GifSpeed = 1.0;
    r.GifLoop = -1;
    r.GifMaxFrame = 1000;
    return r;
}

TConversionResult Convert(const TConversionRequest& request) {
    std::atomic<bool> cancel{false};
    return RunConversion(request, {}, cancel);
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

class TRecorder : public QObject {
public:
    bool event(QEvent* event) override {
        // The engine's reports, in the order they came: what each counts and its text.
        if (const auto* progress = ReportOf<Report::ConvertProgress>(event)) {
            Messages.push_back({Msg::ConvertProgress, progress->Percent, 0, {}});
            return true;
        }
        if (const auto* end = ReportOf<Report::ConvertFinished>(event)) {
            Messages.push_back(
                {Msg::ConvertFinished, end->FramesWritten, end->MaxFrames, end->Warning});
            return true;
        }
        if (const auto* failed = ReportOf<Report::ConvertFailed>(event)) {
            Messages.push_back({Msg::ConvertError, 0, 0, failed->Reason});
            return true;
        }
        return QObject::event(event);
    }
    struct TEntry {
        int Message;
        qint64 WParam, LParam;
        QString Text;
    };
    std::vector<TEntry> Messages;
    int Count(int message) const {
        return static_cast<int>(
            std::count_if(Messages.begin(), Messages.end(),
                          [&](const TEntry& e) { return e.Message == message; }));
    }
};
} // namespace

TEST(Conversion, SizesTurnsOrderAndTimingOfARealClip) {
    QTemporaryDir dir;
    TConversionRequest r = Request(dir.filePath(QStringLiteral("out.gif")));
    r.SizeScale = 0.5;
    r.Rotate = 1;
    r.Sequence = foPingPong;
    const TConversionResult result = Convert(r);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();
    // 0.0, 0.1 ... 1.0 s: 11 samples; ping-pong shows 11 + 9.
    EXPECT_EQ(result.FramesWritten, 20);
    const TDecodedGif gif = DecodeGifFile(r.GifFile);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    EXPECT_EQ(gif.Width, 360);
    EXPECT_EQ(gif.Height, 640);
    EXPECT_EQ(gif.LoopCount, 0);
    EXPECT_EQ(gif.TotalDelayCs(), 200);
    // Ping-pong: positions 0 to 10 show source frames 0 to 10, positions 11 to 19 frames 9 to 1,
    // so position p and position 20 - p show the same source frame. What the viewer sees at each
    // tenth of a second (merged images last several):
    std::vector<QImage> shown;
    for (size_t i = 0; i < gif.Images.size(); ++i)
        for (int slot = 0; slot < gif.Images[i].DelayCs / 10; ++slot)
            shown.push_back(gif.Composed[i]);
    ASSERT_EQ(shown.size(), 20u);
    for (int p = 1; p <= 9; ++p)
        EXPECT_LT(
            MeanColourDifference(shown[static_cast<size_t>(p)], shown[static_cast<size_t>(20 - p)]),
            2.0)
            << "position " << p;
    // The clip moves: neighbouring frames differ clearly, so an order off by one would fail above.
    for (size_t p = 1; p <= 9; ++p)
        EXPECT_GT(MeanColourDifference(shown[p], shown[p + 1]), 5.0) << "position " << p;
    EXPECT_EQ(FilesIn(dir.path()), QStringList{QStringLiteral("out.gif")});
}

TEST(Conversion, ReplayCountsBecomeTheLoopExtension) {
    QTemporaryDir dir;
    for (int loop : {-1, 0, 1, 5}) {
        TConversionRequest r = Request(dir.filePath(QStringLiteral("loop.gif")));
        r.EndPTS = 300000;
        r.GifLoop = loop;
        ASSERT_TRUE(Convert(r).Ok);
        const TDecodedGif gif = DecodeGifFile(r.GifFile);
        if (loop == 0)
            EXPECT_FALSE(gif.LoopCount.has_value());
        else
            EXPECT_EQ(gif.LoopCount, loop < 0 ? 0 : loop);
    }
}

TEST(Conversion, FastPlaybackDropsFramesEvenlyInsteadOfTooShortDelays) {
    QTemporaryDir dir;
    TConversionRequest r = Request(dir.filePath(QStringLiteral("fast.gif")));
    r.GifFPS = 30;
    r.GifSpeed = 2.0;
    r.EndPTS = 2000000;
    const TConversionResult result = Convert(r);
    ASSERT_TRUE(result.Ok);
    // 25 frames per second of video at double speed: 2 hundredths each.
    EXPECT_EQ(result.FramesWritten, 51);
    const TDecodedGif gif = DecodeGifFile(r.GifFile);
    for (const auto& image : gif.Images)
        EXPECT_GE(image.DelayCs, 2);
    EXPECT_EQ(gif.TotalDelayCs(), 102);
}

TEST(Conversion, TheMaximumFrameCountCutsTheGifAndIsReported) {
    QTemporaryDir dir;
    TConversionRequest r = Request(dir.filePath(QStringLiteral("max.gif")));
    r.GifMaxFrame = 4;
    TRecorder window;
    r.Window = &window;
    {
        TVideo2GifThread thread(r);
        thread.start();
        ASSERT_TRUE(WaitFor(
            [&] {
                return window.Count(Msg::ConvertFinished) + window.Count(Msg::ConvertError) > 0;
            },
            60000));
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(window.Count(Msg::ConvertFinished), 1);
    EXPECT_EQ(window.Count(Msg::ConvertError), 0);
    const auto& end = window.Messages.back();
    EXPECT_EQ(end.Message, Msg::ConvertFinished);
    EXPECT_EQ(end.WParam, 4);
    EXPECT_EQ(end.LParam, 4);
    EXPECT_GE(window.Count(Msg::ConvertProgress), 2);
    for (const auto& m : window.Messages) {
        if (m.Message == Msg::ConvertProgress) {
            EXPECT_LE(m.WParam, 100);
        }
    }
    EXPECT_EQ(DecodeGifFile(r.GifFile).TotalDelayCs(), 40);
}

TEST(Conversion, OverlaysArePaintedOnTheTurnedFrameAndToldTheUnturnedSize) {
    QTemporaryDir dir;
    TConversionRequest r = Request(dir.filePath(QStringLiteral("overlay.gif")));
    r.EndPTS = 200000;
    r.Rotate = 1;
    r.Flip = fmHorizontal;
    int calls = 0;
    QSize seen, painted;
    QTransform given;
    r.DrawOverlays = [&](QPainter& painter, int width, int height, const QTransform& turn) {
        ++calls;
        seen = QSize(width, height);
        painted = QSize(painter.device()->width(), painter.device()->height());
        given = turn;
        // Unmapped: the top left corner of the finished frame.
        painter.fillRect(QRect(0, 0, 40, 30), QColor(0, 255, 0));
    };
    const TConversionResult result = Convert(r);
    ASSERT_TRUE(result.Ok);
    EXPECT_GE(calls, 1);
    EXPECT_EQ(seen, QSize(320, 180));
    EXPECT_EQ(painted, QSize(180, 320));
    EXPECT_EQ(given, RotateAndFlipTransform(QSize(320, 180), 1, fmHorizontal));
    const TDecodedGif gif = DecodeGifFile(r.GifFile);
    const QImage& first = gif.Composed.front();
    // Nothing turns the mark after it was painted: it keeps its place and shape.
    const auto isMark = [&](int x, int y) {
        return qGreen(first.pixel(x, y)) > 200 && qRed(first.pixel(x, y)) < 60;
    };
    EXPECT_TRUE(isMark(20, 15));
    EXPECT_FALSE(isMark(15, 35)); // 30 high, not 40: not turned
    EXPECT_FALSE(isMark(180 - 15, 20));
}

TEST(Conversion, TheFrameFilterLeavesFramesOutAndAllDeletedIsAnError) {
    QTemporaryDir dir;
    TConversionRequest r = Request(dir.filePath(QStringLiteral("filter.gif")));
    std::vector<int64_t> asked;
    r.FrameFilter = [&](int64_t pts) {
        asked.push_back(pts);
        return pts < 450000;
    };
    const TConversionResult result = Convert(r);
    ASSERT_TRUE(result.Ok);
    // Samples 0.0 ... 1.0 s each show the frame from the middle of their tenth of a second.
    ASSERT_EQ(asked.size(), 11u);
    const auto keptCount =
        std::count_if(asked.begin(), asked.end(), [](int64_t p) { return p >= 450000; });
    EXPECT_EQ(keptCount, 6);
    EXPECT_EQ(result.FramesWritten, keptCount);

    r.FrameFilter = [](int64_t) { return true; };
    const TConversionResult none = Convert(r);
    EXPECT_FALSE(none.Ok);
    EXPECT_TRUE(none.Error.contains(QLatin1String("deleted")));
}

TEST(Conversion, BadRequestsGetAClearTextAndWriteNothing) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("bad.gif"));
    const QString textFile = dir.filePath(QStringLiteral("notes.mp4"));
    ASSERT_TRUE(WriteFile(textFile, "this is not a video"));
    struct TCase {
        const char* Name;
        std::function<void(TConversionRequest&)> Change;
        const char* Expect;
    };
    const std::vector<TCase> cases = {
        {"fps 0", [](TConversionRequest& r) { r.GifFPS = 0; }, "frame rate"},
        {"fps -5", [](TConversionRequest& r) { r.GifFPS = -5; }, "frame rate"},
        {"speed 0", [](TConversionRequest& r) { r.GifSpeed = 0; }, "speed"},
        {"speed -1", [](TConversionRequest& r) { r.GifSpeed = -1; }, "speed"},
        {"max 0", [](TConversionRequest& r) { r.GifMaxFrame = 0; }, "maximum frame count"},
        {"start = end", [](TConversionRequest& r) { r.EndPTS = r.StartPTS; },
         "end must come after"},
        {"start > end", [](TConversionRequest& r) { r.StartPTS = 2000000; }, "end must come after"},
        {"custom 0",
         [](TConversionRequest& r) {
             r.SizeScale = -1;
             r.CustomWidth = 0;
             r.CustomHeight = 50;
         },
         "output size"},
        {"empty crop",
         [](TConversionRequest& r) {
             r.CropEnabled = true;
             r.CropRect = {10, 10, 10, 50};
         },
         "crop rectangle is empty"},
        {"crop outside",
         [](TConversionRequest& r) {
             r.CropEnabled = true;
             r.CropRect = {5000, 0, 5100, 50};
         },
         "outside"},
        {"huge custom",
         [](TConversionRequest& r) {
             r.SizeScale = -1;
             r.CustomWidth = 100000;
             r.CustomHeight = 50;
         },
         "too large"},
        {"missing video",
         [&](TConversionRequest& r) { r.VideoFile = dir.filePath(QStringLiteral("none.mp4")); },
         "cannot be opened"},
        {"text as video", [&](TConversionRequest& r) { r.VideoFile = textFile; },
         "cannot be opened"},
        {"audio only",
         [](TConversionRequest& r) {
             r.VideoFile = QStringLiteral(VG_MEDIA_DIR "/audio-only-mp3-with-cover-art-30s.mp3");
         },
         "holds no video"},
        {"missing folder",
         [&](TConversionRequest& r) { r.GifFile = dir.filePath(QStringLiteral("no/such/x.gif")); },
         "does not exist"},
        // The GIF replaces neither its own video nor anything but a regular file.
        {"gif is the video", [&](TConversionRequest& r) { r.VideoFile = r.GifFile = textFile; },
         "video file itself"},
        {"gif is a device", [](TConversionRequest& r) { r.GifFile = QStringLiteral("/dev/null"); },
         "not a regular file"},
        {"gif is a folder", [&](TConversionRequest& r) { r.GifFile = dir.path(); },
         "not a regular file"},
    };
    for (const TCase& c : cases) {
        TConversionRequest r = Request(gif);
        c.Change(r);
        const TConversionResult result = Convert(r);
        EXPECT_FALSE(result.Ok) << c.Name;
        EXPECT_TRUE(result.Error.contains(QLatin1String(c.Expect)))
            << c.Name << ": " << result.Error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(gif)) << c.Name;
    }
    EXPECT_EQ(FilesIn(dir.path()), QStringList{QStringLiteral("notes.mp4")});
    EXPECT_EQ(ReadTextFile(textFile), QStringLiteral("this is not a video"));
}

TEST(Conversion, CancellingKeepsAnOlderGifAndLeavesNoPartialFile) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteFile(gif, "GIF89a old contents"));
    TConversionRequest r = Request(gif);
    r.EndPTS = 2700000;
    r.SizeScale = 1.0;
    for (int stopAt : {5, 65, 80}) {
        std::atomic<bool> cancel{false};
        const TConversionResult result = RunConversion(
            r,
            [&](int percent) {
                if (percent >= stopAt)
                    cancel = true;
            },
            cancel);
        EXPECT_TRUE(result.Cancelled) << stopAt;
        EXPECT_FALSE(result.Ok);
        EXPECT_EQ(ReadTextFile(gif), QStringLiteral("GIF89a old contents"));
        EXPECT_EQ(FilesIn(dir.path()), QStringList{QStringLiteral("keep.gif")});
    }
}

TEST(Conversion, ATerminatedThreadPostsNeitherEndNorError) {
    QTemporaryDir dir;
    TConversionRequest r = Request(dir.filePath(QStringLiteral("t.gif")));
    r.EndPTS = 2700000;
    r.SizeScale = 1.0;
    TRecorder window;
    r.Window = &window;
    {
        TVideo2GifThread thread(r);
        thread.start();
        ASSERT_TRUE(WaitFor([&] { return window.Count(Msg::ConvertProgress) > 0; }, 30000));
        thread.Terminate();
        thread.wait();
        EXPECT_TRUE(thread.Result().Cancelled);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Count(Msg::ConvertFinished), 0);
    EXPECT_EQ(window.Count(Msg::ConvertError), 0);
    EXPECT_FALSE(QFileInfo::exists(r.GifFile));
}

TEST(Conversion, AnErrorReachesTheWindowAsItsText) {
    TConversionRequest r = Request(QStringLiteral("/nonexistent-folder/x.gif"));
    TRecorder window;
    r.Window = &window;
    TVideo2GifThread thread(r);
    thread.start();
    ASSERT_TRUE(WaitFor([&] { return window.Count(Msg::ConvertError) == 1; }, 30000));
    EXPECT_TRUE(window.Messages.back().Text.contains(QLatin1String("does not exist")));
    EXPECT_EQ(window.Count(Msg::ConvertFinished), 0);
}

// Frame identity on a generated video whose frames carry their index (25 fps, B-frames).
namespace {
const QString indexed = QStringLiteral(VG_FIXTURE_DIR "/h264-bframes-320x240-25fps.mp4");

std::vector<int> ShownIndices(const QString& gifFile) {
    const TDecodedGif gif = DecodeGifFile(gifFile);
    std::vector<int> shown;
    for (size_t i = 0; i < gif.Composed.size(); ++i) {
        const QImage frame = gif.Composed[i].convertToFormat(QImage::Format_RGB32);
        const int index = fixture::ReadIndexPattern(frame);
        // An image that only lengthens the one before shows the same picture.
        shown.push_back(index);
    }
    return shown;
}

TConversionRequest IndexedRequest(const QString& gif, int first, int last) {
    TConversionRequest r = Request(gif);
    r.VideoFile = indexed;
    r.StartPTS = first * 40000;
    r.EndPTS = last * 40000;
    r.GifFPS = 25;
    r.SizeScale = 1.0;
    return r;
}
} // namespace

TEST(ConversionFrames, EveryOrderShowsExactlyTheClipsFrames) {
    QTemporaryDir dir;
    TConversionRequest r = IndexedRequest(dir.filePath(QStringLiteral("o.gif")), 40, 47);
    ASSERT_TRUE(Convert(r).Ok);
    EXPECT_EQ(ShownIndices(r.GifFile), (std::vector<int>{40, 41, 42, 43, 44, 45, 46, 47}));
    r.Sequence = foReverse;
    ASSERT_TRUE(Convert(r).Ok);
    EXPECT_EQ(ShownIndices(r.GifFile), (std::vector<int>{47, 46, 45, 44, 43, 42, 41, 40}));
    r.Sequence = foPingPong;
    ASSERT_TRUE(Convert(r).Ok);
    EXPECT_EQ(ShownIndices(r.GifFile),
              (std::vector<int>{40, 41, 42, 43, 44, 45, 46, 47, 46, 45, 44, 43, 42, 41}));
    // The maximum keeps the first frames of the order; for a reverse order, the clip's last; a
    // ping-pong order takes the clip's first frames there and back.
    r.GifMaxFrame = 10;
    const TConversionResult pingPong = Convert(r);
    ASSERT_TRUE(pingPong.Ok);
    EXPECT_EQ(pingPong.FramesWritten, 10);
    EXPECT_EQ(ShownIndices(r.GifFile), (std::vector<int>{40, 41, 42, 43, 44, 45, 44, 43, 42, 41}));
    EXPECT_EQ(DecodeGifFile(r.GifFile).TotalDelayCs(), 40);
    r.GifMaxFrame = 3;
    r.Sequence = foReverse;
    const TConversionResult cut = Convert(r);
    ASSERT_TRUE(cut.Ok);
    EXPECT_EQ(cut.FramesWritten, 3);
    EXPECT_EQ(ShownIndices(r.GifFile), (std::vector<int>{47, 46, 45}));
}

TEST(ConversionFrames, HalfTheRateTakesEverySecondFrameAndSlowMotionLengthensThem) {
    QTemporaryDir dir;
    TConversionRequest r = IndexedRequest(dir.filePath(QStringLiteral("h.gif")), 10, 30);
    r.GifFPS = 12; // samples 1/12 s apart: frames nearest to the middle of each stretch
    ASSERT_TRUE(Convert(r).Ok);
    const std::vector<int> shown = ShownIndices(r.GifFile);
    ASSERT_GE(shown.size(), 9u);
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_GT(shown[i], shown[i - 1]);
        EXPECT_LE(shown[i] - shown[i - 1], 3);
    }
    EXPECT_GE(shown.front(), 10);
    EXPECT_LE(shown.back(), 30);
    r.GifFPS = 25;
    r.GifSpeed = 0.5;
    ASSERT_TRUE(Convert(r).Ok);
    const TDecodedGif slow = DecodeGifFile(r.GifFile);
    EXPECT_EQ(slow.TotalDelayCs(), 21 * 8); // 21 frames at 8 hundredths
}

TEST(ConversionFrames, RatesThatDivideTheSourcesTakeEvenSteps) {
    QTemporaryDir dir;
    TConversionRequest r = IndexedRequest(dir.filePath(QStringLiteral("e.gif")), 0, 0);
    r.VideoFile = QStringLiteral(VG_FIXTURE_DIR "/mpeg4-352x288-24fps.avi");
    r.StartPTS = 10 * 1000000 / 24;
    r.EndPTS = (58 * 1000000 + 23) / 24; // frame 58, its time rounded up
    // 24 fps at 12, 8 and 6: every second, third and fourth frame from the first.
    for (int fps : {12, 8, 6}) {
        r.GifFPS = fps;
        ASSERT_TRUE(Convert(r).Ok) << fps;
        const std::vector<int> shown = ShownIndices(r.GifFile);
        const int step = 24 / fps;
        ASSERT_GE(shown.size(), static_cast<size_t>(48 / step)) << fps;
        for (size_t i = 0; i < shown.size(); ++i)
            EXPECT_EQ(shown[i], 10 + static_cast<int>(i) * step) << fps << " fps, frame " << i;
    }
    // The 25 fps clip at 5: every fifth frame.
    TConversionRequest five = IndexedRequest(dir.filePath(QStringLiteral("f.gif")), 3, 50);
    five.GifFPS = 5;
    ASSERT_TRUE(Convert(five).Ok);
    EXPECT_EQ(ShownIndices(five.GifFile), (std::vector<int>{3, 8, 13, 18, 23, 28, 33, 38, 43, 48}));
}

TEST(ConversionFrames, ASourceFrameShownTwiceIsOneImageShownTwiceAsLong) {
    QTemporaryDir dir;
    // The 25 fps clip at 50 frames per second: every source frame twice.
    TConversionRequest r = IndexedRequest(dir.filePath(QStringLiteral("d.gif")), 20, 39);
    r.GifFPS = 50;
    const TConversionResult result = Convert(r);
    ASSERT_TRUE(result.Ok);
    EXPECT_EQ(result.FramesWritten, 39);
    EXPECT_EQ(result.ImagesWritten, 20);
    std::vector<int> expected;
    for (int i = 20; i <= 39; ++i)
        expected.push_back(i);
    EXPECT_EQ(ShownIndices(r.GifFile), expected);
    const TDecodedGif gif = DecodeGifFile(r.GifFile);
    ASSERT_EQ(gif.Images.size(), 20u);
    for (size_t i = 0; i + 1 < gif.Images.size(); ++i)
        EXPECT_EQ(gif.Images[i].DelayCs, 4) << i;
    EXPECT_EQ(gif.Images.back().DelayCs, 2); // the clip's last sample
    EXPECT_EQ(gif.TotalDelayCs(), 78);
    // There and back: 7 samples (frames 20, 20, 21, 21, 22, 22, 23), back to the second one.
    r.Sequence = foPingPong;
    r.EndPTS = 23 * 40000;
    ASSERT_TRUE(Convert(r).Ok);
    EXPECT_EQ(ShownIndices(r.GifFile), (std::vector<int>{20, 21, 22, 23, 22, 21, 20}));
    EXPECT_EQ(DecodeGifFile(r.GifFile).TotalDelayCs(), 7 * 2 + 5 * 2);
}

TEST(ConversionFrames, TurnsAndMirrorsMoveAKnownCorner) {
    QTemporaryDir dir;
    // A red mark placed in the top left corner of the unturned frame goes where the turn puts it.
    struct TCase {
        int Rotate, Flip;
        QPoint Expected; // in the 320 × 240 (or 240 × 320) GIF
    };
    const TCase cases[] = {{0, 0, {5, 5}},   {1, 0, {234, 5}}, {2, 0, {314, 234}}, {3, 0, {5, 314}},
                           {0, 1, {314, 5}}, {0, 2, {5, 234}}, {1, 1, {5, 5}}};
    for (const TCase& c : cases) {
        TConversionRequest r = IndexedRequest(dir.filePath(QStringLiteral("t.gif")), 0, 1);
        r.Rotate = static_cast<uint8_t>(c.Rotate);
        r.Flip = static_cast<TFlipMode>(c.Flip);
        r.DrawOverlays = [](QPainter& p, int, int, const QTransform& turn) {
            p.fillRect(turn.mapRect(QRectF(0, 0, 12, 12)), QColor(255, 0, 0));
        };
        ASSERT_TRUE(Convert(r).Ok);
        const QImage frame = DecodeGifFile(r.GifFile).Composed.front();
        const QRgb mark = frame.pixel(c.Expected);
        EXPECT_GT(qRed(mark), 200) << c.Rotate << "/" << c.Flip;
        EXPECT_LT(qGreen(mark), 60) << c.Rotate << "/" << c.Flip;
    }
}

namespace {

// The real decoder, decoding every frame whatever the sampler asks.
class TEveryFrameDecoder : public TFFDecoder {
public:
    void SkipUnwantedFrames(TFrameWantedFunc) override {}
};

// The real decoder, telling how many frames it left undecoded when it goes.
class TCountingDecoder : public TFFDecoder {
public:
    explicit TCountingDecoder(int& undecoded) : FUndecoded(undecoded) {}
    ~TCountingDecoder() override { FUndecoded += FramesLeftUndecoded(); }

private:
    int& FUndecoded;
};

QByteArray GifBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(ConversionFrames, FramesLeftUndecodedChangeNothingInTheGif) {
    QTemporaryDir dir;
    TConversionRequest bearClip = Request(dir.filePath(QStringLiteral("b.gif")));
    bearClip.EndPTS = 2700000;
    TConversionRequest indexedClip = IndexedRequest(dir.filePath(QStringLiteral("i.gif")), 3, 140);
    indexedClip.GifFPS = 5;
    for (TConversionRequest r : {bearClip, indexedClip}) {
        SCOPED_TRACE(r.VideoFile.toStdString());
        std::atomic<bool> cancel{false};
        ASSERT_TRUE(
            RunConversion(r, {}, cancel, [] { return std::make_unique<TEveryFrameDecoder>(); }).Ok);
        const QByteArray everyFrame = GifBytes(r.GifFile);
        int undecoded = 0;
        ASSERT_TRUE(RunConversion(r, {}, cancel, [&] {
                        return std::make_unique<TCountingDecoder>(undecoded);
                    }).Ok);
        EXPECT_GT(undecoded, 0);
        EXPECT_FALSE(everyFrame.isEmpty());
        EXPECT_EQ(GifBytes(r.GifFile), everyFrame);
    }
}
