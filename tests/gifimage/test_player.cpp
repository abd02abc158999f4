// Playing a GIF: the frame order, repeats as the loop extension says, and the picture control.

#include "gifimage/GIFView.h"
#include "tests/gifimage/GifMaker.h"
#include "tests/support/TestUtils.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<TGIFImage> ThreeFrames(std::optional<int> loop) {
    TTestGif gif{8, 6, FourColours(), loop, {}};
    for (unsigned char i = 0; i < 3; ++i)
        gif.Frames.push_back(FilledFrame(QRect(0, 0, 8, 6), i, 1, 2));
    auto image = std::make_shared<TGIFImage>();
    EXPECT_TRUE(image->LoadFromData(WriteTestGif(gif)));
    return image;
}

// The frame indices shown until the player finishes.
std::vector<int> PlayToEnd(TGIFPlayer& player, const std::shared_ptr<TGIFImage>& image) {
    std::vector<int> shown;
    QObject::connect(&player, &TGIFPlayer::FrameChanged,
                     [&] { shown.push_back(player.CurrentIndex()); });
    QSignalSpy finished(&player, &TGIFPlayer::Finished);
    player.SetImage(image);
    EXPECT_TRUE(WaitFor([&] { return finished.count() > 0; }, 10000));
    return shown;
}

} // namespace

TEST(GifPlayer, WithoutLoopExtensionPlaysOnceAndStopsOnTheLastFrame) {
    TGIFPlayer player;
    const auto shown = PlayToEnd(player, ThreeFrames(std::nullopt));
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.CurrentFrame().pixel(0, 0), FourColours()[2]);
}

TEST(GifPlayer, LoopCountRepeatsThatManyMoreTimes) {
    TGIFPlayer player;
    const auto shown = PlayToEnd(player, ThreeFrames(2));
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(player.Pass(), 3);
}

TEST(GifPlayer, EndlessLoopKeepsPlaying) {
    TGIFPlayer player;
    player.SetImage(ThreeFrames(0));
    EXPECT_TRUE(WaitFor([&] { return player.Pass() >= 3; }, 10000));
    EXPECT_TRUE(player.IsPlaying());
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
}

TEST(GifView, ShowsTheCurrentFrameStretchedOverWhatIsBehind) {
    QWidget back;
    back.resize(100, 80);
    back.setAutoFillBackground(true);
    QPalette palette = back.palette();
    palette.setColor(QPalette::Window, Qt::black);
    back.setPalette(palette);
    TGIFView view(&back);
    view.setGeometry(10, 10, 80, 60);
    // A frame whose left half is transparent.
    TTestGif gif{8, 6, FourColours(), std::nullopt, {}};
    TTestFrame frame = FilledFrame(QRect(0, 0, 8, 6), 2);
    frame.Transparent = 3;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            frame.Indices[static_cast<size_t>(y * 8 + x)] = 3;
    gif.Frames.push_back(frame);
    auto image = std::make_shared<TGIFImage>();
    ASSERT_TRUE(image->LoadFromData(WriteTestGif(gif)));
    view.SetImage(image);
    back.show();
    const QImage shot = back.grab().toImage();
    EXPECT_EQ(shot.pixel(80, 40), qRgb(0, 0, 255)); // right half, blue, stretched ten times
    EXPECT_EQ(shot.pixel(20, 40), qRgb(0, 0, 0));   // transparent: the background shows
    EXPECT_EQ(shot.pixel(95, 40), qRgb(0, 0, 0));   // outside the control
}
