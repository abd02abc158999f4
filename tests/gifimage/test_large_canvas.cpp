// A small GIF with a huge logical screen: the frames' own rectangles bound the composer's work,
// and the player hands out finished pictures that never change afterwards.

#include "gifimage/GIFPlayer.h"
#include "tests/gifimage/GifMaker.h"
#include "tests/support/TestUtils.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

constexpr int side = 6000;

// Ten tiny frames on a 6000 × 6000 screen, every one disposed of by restoring what was under it;
// the last but one lies partly off the screen, the last wholly off it (it draws nothing).
TTestGif HugeScreenGif(std::optional<int> loop) {
    TTestGif gif{side, side, FourColours(), loop, {}};
    for (int i = 0; i < 8; ++i)
        gif.Frames.push_back(FilledFrame(QRect(i * 700 + 5, i * 650 + 7, 3 + i, 2),
                                         static_cast<unsigned char>(i % 4), 3, 2));
    gif.Frames.push_back(FilledFrame(QRect(side - 2, side - 1, 4, 3), 1, 3, 2));
    gif.Frames.push_back(FilledFrame(QRect(side + 10, 20, 4, 4), 2, 3, 2));
    return gif;
}

std::shared_ptr<TGIFImage> LoadHuge(std::optional<int> loop) {
    auto image = std::make_shared<TGIFImage>();
    EXPECT_TRUE(image->LoadFromData(WriteTestGif(HugeScreenGif(loop))));
    return image;
}

// Where the canvas is not transparent, and how many such pixels there are.
struct TOpaque {
    QRect Bounds;
    qint64 Count = 0;
};

TOpaque Opaque(const QImage& canvas) {
    TOpaque found;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x)
            if (line[x] != 0) {
                found.Bounds = found.Bounds.united(QRect(x, y, 1, 1));
                ++found.Count;
            }
    }
    return found;
}

// What a frame alone leaves on the canvas, since every earlier one was restored away.
::testing::AssertionResult ShowsOnly(const QImage& canvas, const TGIFImage& image, int index) {
    const QRect area = image.Frame(index).Rect.intersected(QRect(0, 0, side, side));
    const TOpaque opaque = Opaque(canvas);
    if (opaque.Bounds != area || opaque.Count != qint64(area.width()) * area.height())
        return ::testing::AssertionFailure()
               << "frame " << index << ": " << opaque.Count << " opaque pixels in ("
               << opaque.Bounds.x() << "," << opaque.Bounds.y() << " " << opaque.Bounds.width()
               << "×" << opaque.Bounds.height() << ")";
    if (!area.isEmpty() && canvas.pixel(area.topLeft()) != FourColours()[index < 8 ? index % 4 : 1])
        return ::testing::AssertionFailure() << "frame " << index << ": wrong colour";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(GifLargeCanvas, RestorePreviousWorkIsBoundedByTheFramesRectangles) {
    const auto image = LoadHuge(0);
    ASSERT_EQ(image->FrameCount(), 10);
    ASSERT_EQ(image->Size(), QSize(side, side));
    qint64 drawnBytes = 0;
    for (int i = 0; i < image->FrameCount(); ++i) {
        const QRect area = image->Frame(i).Rect.intersected(QRect(0, 0, side, side));
        drawnBytes += 4 * qint64(area.width()) * area.height();
    }
    TGIFComposer composer(image);
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < image->FrameCount(); ++i) {
            ASSERT_EQ(composer.Advance(), i);
            EXPECT_TRUE(ShowsOnly(composer.Canvas(), *image, i));
        }
    // Each frame's area is saved, restored, and cleared when the animation starts again: three
    // times a pass at most, where a single copy of the whole canvas would be 144 MB.
    EXPECT_GT(composer.CanvasBytesTouched(), 2 * drawnBytes);
    EXPECT_LE(composer.CanvasBytesTouched(), 2 * 3 * drawnBytes);
    // Going back composes from a canvas cleared just where frames drew.
    composer.ShowFrame(3);
    EXPECT_TRUE(ShowsOnly(composer.Canvas(), *image, 3));
    EXPECT_LE(composer.CanvasBytesTouched(), 3 * 3 * drawnBytes);
}

TEST(GifLargeCanvas, ResetAfterFramesCoveringTheCanvasClearsItOnce) {
    // Frames that together draw more than the canvas: clearing it whole costs no more than that.
    TTestGif gif{8, 8, FourColours(), 0, {}};
    for (int i = 0; i < 5; ++i)
        gif.Frames.push_back(FilledFrame(QRect(0, 0, 8, 8), static_cast<unsigned char>(i % 4), 1));
    gif.Frames.push_back(FilledFrame(QRect(2, 2, 1, 1), 1, 1));
    auto image = std::make_shared<TGIFImage>();
    ASSERT_TRUE(image->LoadFromData(WriteTestGif(gif)));
    TGIFComposer composer(image);
    composer.ShowFrame(5);
    EXPECT_EQ(composer.CanvasBytesTouched(), 0);
    EXPECT_EQ(composer.Advance(), 0);
    EXPECT_EQ(composer.CanvasBytesTouched(), 8 * 8 * 4);
    EXPECT_EQ(composer.Canvas().pixel(2, 2), FourColours()[0]);
}

TEST(GifLargeCanvas, PlayerShowsEveryFrameAsComposedAndNeverChangesAShownPicture) {
    const auto image = LoadHuge(std::nullopt);
    TGIFPlayer player;
    std::vector<int> shown;
    QImage previous;
    int previousIndex = -1;
    QObject::connect(&player, &TGIFPlayer::FrameChanged, [&] {
        // The picture shown before is still exactly that frame, though the next one was
        // composed meanwhile.
        if (previousIndex >= 0) {
            EXPECT_TRUE(ShowsOnly(previous, *image, previousIndex));
        }
        previous = player.CurrentFrame();
        previousIndex = player.CurrentIndex();
        shown.push_back(previousIndex);
        EXPECT_TRUE(ShowsOnly(previous, *image, previousIndex));
    });
    QSignalSpy finished(&player, &TGIFPlayer::Finished);
    player.SetImage(image);
    ASSERT_TRUE(WaitFor([&] { return finished.count() > 0; }, 120000));
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(ShowsOnly(previous, *image, 9));
    EXPECT_FALSE(player.IsPlaying());
}
