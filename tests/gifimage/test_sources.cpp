// GIFs from other writers: our conversion engine (checked against an independent composition of
// giflib's slurped file) and gifsicle's optimised, interlaced and re-disposed output (checked
// against the frames of the GIF it was made from).

#include "engine/Video2Gif.h"
#include "gifimage/GIFComposer.h"
#include "tests/gifimage/GifMaker.h"
#include "tests/support/GifDecode.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::vector<QImage> ComposeAll(const QString& fileName, TGIFImage* loaded = nullptr) {
    auto image = std::make_shared<TGIFImage>();
    EXPECT_TRUE(image->LoadFromFile(fileName)) << image->ErrorText().toStdString();
    TGIFComposer composer(image);
    std::vector<QImage> frames;
    for (int i = 0; i < image->FrameCount(); ++i) {
        composer.Advance();
        frames.push_back(composer.Canvas());
    }
    if (loaded)
        *loaded = *image;
    return frames;
}

// A small animation: a moving square and a counter stripe over a changing background, so that
// optimisers find both unchanged areas and changes.
TTestGif MovingSquare() {
    TTestGif gif{40, 30, FourColours(), 0, {}};
    for (int i = 0; i < 6; ++i) {
        TTestFrame frame = FilledFrame(QRect(0, 0, 40, 30), 3, 1, 4 + i);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                unsigned char index = 3;
                if (x >= 5 * i && x < 5 * i + 10 && y >= 8 && y < 18)
                    index = 0;
                else if (y >= 26 && x < 6 * (i + 1))
                    index = 2;
                else if (i >= 3 && y < 4)
                    index = 1;
                frame.Indices[static_cast<size_t>(y * 40 + x)] = index;
            }
        gif.Frames.push_back(frame);
    }
    return gif;
}

bool WriteBytes(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

TEST(GifSources, OurEngineOutputMatchesAnIndependentComposition) {
    QTemporaryDir dir;
    TConversionRequest request;
    request.VideoFile = QStringLiteral(VG_MEDIA_DIR "/bear-h264-1280x720.mp4");
    request.GifFile = dir.filePath(QStringLiteral("bear.gif"));
    request.StartPTS = 0;
    request.EndPTS = 1'500'000;
    request.CropRect = TRectL{0, 0, 1280, 720};
    request.SizeScale = 0.25;
    request.GifFPS = 10;
    request.GifLoop = 2;
    std::atomic<bool> cancel{false};
    const TConversionResult result = RunConversion(
        request, [](int) {}, cancel);
    ASSERT_TRUE(result.Ok) << result.Error.toStdString();

    TGIFImage image;
    const std::vector<QImage> ours = ComposeAll(request.GifFile, &image);
    const TDecodedGif reference = DecodeGifFile(request.GifFile);
    ASSERT_TRUE(reference.Ok);
    ASSERT_EQ(ours.size(), reference.Composed.size());
    ASSERT_GE(ours.size(), 10u);
    EXPECT_EQ(image.Size(), QSize(reference.Width, reference.Height));
    EXPECT_EQ(image.LoopCount(), reference.LoopCount.value_or(-1));
    for (size_t i = 0; i < ours.size(); ++i) {
        EXPECT_EQ(ours[i], reference.Composed[i]) << "frame " << i;
        EXPECT_EQ(image.Frame(static_cast<int>(i)).DelayCs, reference.Images[i].DelayCs);
    }
}

class GifsicleOutput : public ::testing::Test {
protected:
    void SetUp() override {
        FTool = QStandardPaths::findExecutable(QStringLiteral("gifsicle"));
        if (FTool.isEmpty())
            GTEST_SKIP() << "gifsicle is not installed (scripts/install-deps installs it)";
        FOriginal = FDir.filePath(QStringLiteral("original.gif"));
        ASSERT_TRUE(WriteBytes(FOriginal, WriteTestGif(MovingSquare())));
        FExpected = ComposeAll(FOriginal);
    }

    QString Run(const QStringList& options, const QString& name) {
        const QString output = FDir.filePath(name);
        QProcess tool;
        tool.start(FTool, options + QStringList{FOriginal, QStringLiteral("-o"), output});
        EXPECT_TRUE(tool.waitForFinished(30000));
        EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
        return output;
    }

    // The made GIF shows the very frames of the original, with the original's delays.
    void ExpectSameAnimation(const QString& fileName) {
        TGIFImage image;
        const std::vector<QImage> frames = ComposeAll(fileName, &image);
        ASSERT_EQ(frames.size(), FExpected.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i], FExpected[i]) << "frame " << i;
            EXPECT_EQ(image.FrameDelayMs(static_cast<int>(i)), 10 * (4 + static_cast<int>(i)));
        }
    }

    QTemporaryDir FDir;
    QString FTool, FOriginal;
    std::vector<QImage> FExpected;
};

TEST_F(GifsicleOutput, OptimisedFramesUseTransparencyAndSmallRectangles) {
    const QString optimised = Run({QStringLiteral("-O3")}, QStringLiteral("o3.gif"));
    TGIFImage image;
    ASSERT_TRUE(image.LoadFromFile(optimised));
    // The optimiser did its work: later frames are smaller than the screen.
    EXPECT_LT(image.Frame(1).Rect.width() * image.Frame(1).Rect.height(), 40 * 30);
    ExpectSameAnimation(optimised);
}

TEST_F(GifsicleOutput, InterlacedAndRestoreDisposalShowTheSameFrames) {
    ExpectSameAnimation(Run({QStringLiteral("--interlace")}, QStringLiteral("interlaced.gif")));
    const QString background =
        Run({QStringLiteral("--disposal=background")}, QStringLiteral("background.gif"));
    TGIFImage image;
    ASSERT_TRUE(image.LoadFromFile(background));
    EXPECT_EQ(image.Frame(0).Disposal, 2);
    ExpectSameAnimation(background);
    const QString previous =
        Run({QStringLiteral("--disposal=previous")}, QStringLiteral("previous.gif"));
    ASSERT_TRUE(image.LoadFromFile(previous));
    EXPECT_EQ(image.Frame(0).Disposal, 3);
    ExpectSameAnimation(previous);
    // Without the loop extension the animation plays once.
    const QString once = Run({QStringLiteral("--no-loopcount")}, QStringLiteral("once.gif"));
    ASSERT_TRUE(image.LoadFromFile(once));
    EXPECT_EQ(image.PlayCount(), 1);
    ExpectSameAnimation(once);
}
