// The GIF reader: frame table, delays, loop count, composition as browsers show it, and bad
// files.

#include "gifimage/GIFComposer.h"
#include "tests/gifimage/GifMaker.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
           white = qRgb(255, 255, 255), none = qRgba(0, 0, 0, 0);

std::shared_ptr<TGIFImage> Load(const QByteArray& bytes) {
    auto image = std::make_shared<TGIFImage>();
    EXPECT_TRUE(image->LoadFromData(bytes)) << image->ErrorText().toStdString();
    return image;
}

// Every pixel of the canvas, row by row, as text for readable failures.
std::string Pixels(const QImage& canvas) {
    std::string out;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const QRgb p = canvas.pixel(x, y);
            out += qAlpha(p) == 0 ? '.'
                   : p == red     ? 'R'
                   : p == green   ? 'G'
                   : p == blue    ? 'B'
                   : p == white   ? 'W'
                                  : '?';
        }
        out += '\n';
    }
    return out;
}

TTestGif DisposalGif() {
    TTestGif gif{4, 4, FourColours(), 0, {}};
    gif.Frames.push_back(FilledFrame(QRect(0, 0, 4, 4), 0, 1));
    gif.Frames.push_back(FilledFrame(QRect(1, 1, 2, 2), 1, 2)); // then restore background
    gif.Frames.push_back(FilledFrame(QRect(0, 0, 1, 1), 2, 3)); // then restore previous
    gif.Frames.push_back(FilledFrame(QRect(3, 3, 1, 1), 3, 0));
    return gif;
}

} // namespace

TEST(GifReader, DisposalMethodsComposeAsBrowsersShowThem) {
    auto image = Load(WriteTestGif(DisposalGif()));
    ASSERT_EQ(image->FrameCount(), 4);
    EXPECT_EQ(image->Size(), QSize(4, 4));
    TGIFComposer composer(image);
    EXPECT_EQ(composer.Advance(), 0);
    EXPECT_EQ(Pixels(composer.Canvas()), "RRRR\nRRRR\nRRRR\nRRRR\n");
    composer.Advance();
    EXPECT_EQ(Pixels(composer.Canvas()), "RRRR\nRGGR\nRGGR\nRRRR\n");
    composer.Advance();
    // The green square went back to the background (transparent); blue drawn on top-left.
    EXPECT_EQ(Pixels(composer.Canvas()), "BRRR\nR..R\nR..R\nRRRR\n");
    composer.Advance();
    // The blue pixel was restored to what lay under it.
    EXPECT_EQ(Pixels(composer.Canvas()), "RRRR\nR..R\nR..R\nRRRW\n");
    // After the last frame the animation starts again on a cleared canvas.
    EXPECT_EQ(composer.Advance(), 0);
    EXPECT_EQ(Pixels(composer.Canvas()), "RRRR\nRRRR\nRRRR\nRRRR\n");
    composer.ShowFrame(2);
    EXPECT_EQ(composer.CurrentIndex(), 2);
    EXPECT_EQ(Pixels(composer.Canvas()), "BRRR\nR..R\nR..R\nRRRR\n");
    composer.ShowFrame(1); // behind: composed again from the start
    EXPECT_EQ(Pixels(composer.Canvas()), "RRRR\nRGGR\nRGGR\nRRRR\n");
}

TEST(GifReader, TransparencyLocalColoursInterlaceAndClipping) {
    TTestGif gif{4, 10, FourColours(), std::nullopt, {}};
    gif.Frames.push_back(FilledFrame(QRect(0, 0, 4, 10), 0));
    // Transparent index 3 keeps what lies below; index 1 paints green.
    TTestFrame holes = FilledFrame(QRect(0, 0, 4, 1), 1);
    holes.Indices = {3, 1, 3, 1};
    holes.Transparent = 3;
    gif.Frames.push_back(holes);
    // A local table whose index 0 is blue.
    TTestFrame local = FilledFrame(QRect(0, 1, 2, 1), 0);
    local.LocalPalette = {blue, white};
    gif.Frames.push_back(local);
    // Interlaced, 10 rows: row y takes index y % 4 so each row is told apart after reordering.
    TTestFrame interlaced = FilledFrame(QRect(3, 0, 1, 10), 0);
    for (int y = 0; y < 10; ++y)
        interlaced.Indices[static_cast<size_t>(y)] = static_cast<unsigned char>(y % 4);
    interlaced.Interlaced = true;
    gif.Frames.push_back(interlaced);
    // Partly outside the screen: only what lies on it is drawn.
    gif.Frames.push_back(FilledFrame(QRect(2, 8, 5, 5), 3));
    auto image = Load(WriteTestGif(gif));
    ASSERT_EQ(image->FrameCount(), 5);
    EXPECT_TRUE(image->Frame(3).Interlaced);
    TGIFComposer composer(image);
    composer.ShowFrame(1);
    EXPECT_EQ(Pixels(composer.Canvas()).substr(0, 5), "RGRG\n");
    composer.ShowFrame(2);
    EXPECT_EQ(Pixels(composer.Canvas()).substr(5, 5), "BBRR\n");
    composer.ShowFrame(3);
    const char colour[] = {'R', 'G', 'B', 'W'};
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(Pixels(composer.Canvas())[static_cast<size_t>(y * 5 + 3)], colour[y % 4])
            << "row " << y;
    composer.ShowFrame(4);
    EXPECT_EQ(Pixels(composer.Canvas()).substr(40), "RRWW\nRRWW\n");
}

TEST(GifReader, DelaysLoopCountAndPlayCount) {
    TTestGif gif{2, 2, FourColours(), std::nullopt, {}};
    for (int delay : {0, 1, 2, 7})
        gif.Frames.push_back(FilledFrame(QRect(0, 0, 2, 2), 0, 1, delay));
    auto once = Load(WriteTestGif(gif));
    // Below 2 cs plays as 10 cs.
    EXPECT_EQ(once->FrameDelayMs(0), 100);
    EXPECT_EQ(once->FrameDelayMs(1), 100);
    EXPECT_EQ(once->FrameDelayMs(2), 20);
    EXPECT_EQ(once->FrameDelayMs(3), 70);
    EXPECT_EQ(once->Frame(3).DelayCs, 7);
    EXPECT_EQ(once->LoopCount(), -1);
    EXPECT_EQ(once->PlayCount(), 1);
    gif.Loop = 0;
    EXPECT_EQ(Load(WriteTestGif(gif))->PlayCount(), 0);
    gif.Loop = 3;
    auto thrice = Load(WriteTestGif(gif));
    EXPECT_EQ(thrice->LoopCount(), 3);
    EXPECT_EQ(thrice->PlayCount(), 4);
}

TEST(GifReader, FileCutAnywhereNeverBreaksTheReader) {
    const QByteArray whole = WriteTestGif(DisposalGif());
    const auto complete = Load(whole);
    int partial = 0;
    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        TGIFImage image;
        const bool loaded = image.LoadFromData(whole.left(cut));
        if (!loaded) {
            EXPECT_FALSE(image.ErrorText().isEmpty()) << cut;
            EXPECT_EQ(image.FrameCount(), 0);
            continue;
        }
        // Only whole frames are kept, and they are the file's first frames.
        ++partial;
        EXPECT_TRUE(image.IsTruncated()) << cut;
        // All four only when nothing but the trailer is missing.
        ASSERT_LE(image.FrameCount(), 4) << cut;
        if (image.FrameCount() == 4) {
            EXPECT_EQ(cut, whole.size() - 1);
        }
        const qsizetype end =
            image.Frame(image.FrameCount() - 1).Offset + image.Frame(image.FrameCount() - 1).Length;
        EXPECT_LE(end, cut);
        TGIFComposer composer(std::make_shared<TGIFImage>(image));
        TGIFComposer reference(complete);
        for (int i = 0; i < image.FrameCount(); ++i) {
            composer.Advance();
            reference.Advance();
            EXPECT_EQ(composer.Canvas(), reference.Canvas()) << cut << " frame " << i;
        }
    }
    EXPECT_GT(partial, 0);
    // The last byte (the trailer) missing: all four frames, the file counts as cut short.
    TGIFImage noTrailer;
    ASSERT_TRUE(noTrailer.LoadFromData(whole.left(whole.size() - 1)));
    EXPECT_EQ(noTrailer.FrameCount(), 4);
}

TEST(GifReader, RandomlyDamagedFilesLoadOrSayWhyAndComposeSafely) {
    TTestGif gif = DisposalGif();
    gif.Frames[2].Interlaced = true;
    gif.Frames[3].LocalPalette = {blue, white};
    const QByteArray whole = WriteTestGif(gif);
    std::mt19937 random(12345);
    int loaded = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = whole;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i)
            bytes[static_cast<qsizetype>(random() % bytes.size())] = static_cast<char>(random());
        auto image = std::make_shared<TGIFImage>();
        if (!image->LoadFromData(bytes)) {
            EXPECT_FALSE(image->ErrorText().isEmpty());
            continue;
        }
        ++loaded;
        ASSERT_GE(image->FrameCount(), 1);
        TGIFComposer composer(image);
        for (int i = 0; i <= image->FrameCount(); ++i)
            composer.Advance();
        EXPECT_EQ(composer.Canvas().size(), image->Size());
    }
    EXPECT_GT(loaded, 100); // most single-byte damage leaves a readable file
}

TEST(GifReader, DamagedImageDataShowsTheRowsThatCanBeRead) {
    TTestGif gif{4, 4, FourColours(), std::nullopt, {}};
    gif.Frames.push_back(FilledFrame(QRect(0, 0, 4, 4), 1));
    QByteArray bytes = WriteTestGif(gif);
    auto intact = Load(bytes);
    // Overwrite the compressed data (after its code size byte and block length) with codes
    // beyond the table: decompression fails, the reader carries on without a crash.
    const qsizetype data = intact->Frame(0).Offset + 10 + 2;
    for (qsizetype i = data; i < bytes.size() - 2; ++i)
        bytes[i] = char(0xFF);
    TGIFImage damaged;
    ASSERT_TRUE(damaged.LoadFromData(bytes));
    TGIFComposer composer(std::make_shared<TGIFImage>(damaged));
    composer.Advance();
    // The first code is already beyond the table: nothing of the frame can be shown.
    EXPECT_EQ(Pixels(composer.Canvas()), "....\n....\n....\n....\n");
}

TEST(GifReader, BadFilesGiveAMessage) {
    QTemporaryDir dir;
    TGIFImage image;
    EXPECT_FALSE(image.LoadFromFile(dir.filePath(QStringLiteral("missing.gif"))));
    EXPECT_TRUE(image.ErrorText().contains(QStringLiteral("missing.gif")));

    QFile empty(dir.filePath(QStringLiteral("empty.gif")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_FALSE(image.LoadFromFile(empty.fileName()));
    EXPECT_TRUE(image.ErrorText().contains(QStringLiteral("empty")));

    EXPECT_FALSE(image.LoadFromData(QByteArrayLiteral("\x89PNG\r\n\x1a\n0000000000000")));
    EXPECT_TRUE(image.ErrorText().contains(QStringLiteral("not a GIF")));
    EXPECT_TRUE(image.IsEmpty());

    // A header only: a screen but no picture.
    const QByteArray headerOnly = QByteArrayLiteral("GIF89a\x04\x00\x04\x00\x00\x00\x00;");
    EXPECT_FALSE(image.LoadFromData(headerOnly));
    EXPECT_TRUE(image.ErrorText().contains(QStringLiteral("no picture")));
}

TEST(GifReader, HugeLogicalScreenIsRefusedNotAllocated) {
    // 16384 × 16384 with one 1 × 1 frame: refused from the header alone.
    TTestGif gif{16384, 16384, FourColours(), std::nullopt, {}};
    gif.Frames.push_back(FilledFrame(QRect(0, 0, 1, 1), 0));
    TGIFImage image;
    EXPECT_FALSE(image.LoadFromData(WriteTestGif(gif)));
    EXPECT_TRUE(image.ErrorText().contains(QStringLiteral("16384 × 16384")))
        << image.ErrorText().toStdString();
    // Just at the limit's side that is accepted.
    TTestGif wide{8000, 5000, FourColours(), std::nullopt, {}};
    wide.Frames.push_back(FilledFrame(QRect(0, 0, 1, 1), 2));
    auto accepted = Load(WriteTestGif(wide));
    TGIFComposer composer(accepted);
    composer.Advance();
    EXPECT_EQ(composer.Canvas().pixel(0, 0), blue);
    EXPECT_EQ(qAlpha(composer.Canvas().pixel(7999, 4999)), 0);
}

TEST(GifReader, ProgressRisesToOneHundredWithAStageText) {
    TTestGif gif{64, 64, FourColours(), 0, {}};
    for (int i = 0; i < 20; ++i)
        gif.Frames.push_back(FilledFrame(QRect(i, i, 40, 40), static_cast<unsigned char>(i % 4)));
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("p.gif"));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteTestGif(gif));
    file.close();
    TGIFImage image;
    std::vector<int> percents;
    image.OnProgress = [&](const QString& stage, int percent) {
        EXPECT_EQ(stage, QStringLiteral("Loading..."));
        percents.push_back(percent);
    };
    ASSERT_TRUE(image.LoadFromFile(name));
    ASSERT_GE(percents.size(), 3u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
    EXPECT_GE(percents.front(), 0);
    EXPECT_EQ(image.FrameCount(), 20);
}
