// Work on the rows of a frame shared with a helper thread, and the next frame's colours looked up
// on another: every row done once, every job done before its result is read, and remapping and
// encoding that give exactly what one thread gives, on frames of a real video and on boxes of
// every awkward shape.

#include "decoder/FFDecoder.h"
#include "engine/FrameScaler.h"
#include "engine/GifEncoder.h"
#include "engine/Quantizer.h"
#include "engine/WorkPool.h"
#include "tests/support/GifDecode.h"

#include <QBuffer>
#include <QImage>
#include <QThread>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace {

const QString bear = QStringLiteral(VG_MEDIA_DIR "/bear-h264-1280x720.mp4");

// `count` frames from the start of the bear clip, every fourth one, at `size`, as RGBA bytes.
std::vector<QImage> BearFrames(int count, QSize size) {
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(32);
    std::vector<QImage> frames;
    if (!decoder.LoadFile(bear) || !decoder.LocateVideoPTS(0))
        return frames;
    QImage picture;
    // Our own scaler: Qt's smooth scaling runs on its thread pool, which the thread checker
    // cannot see into.
    TFrameScaler scaler;
    for (int i = 0; static_cast<int>(frames.size()) < count; ++i) {
        if (i % 4 == 0 && decoder.CopyToBitmap(picture))
            frames.push_back(scaler.Scale(picture, size).convertToFormat(QImage::Format_RGBA8888));
        if (!decoder.Decode())
            break;
    }
    return frames;
}

QVector<QRgb> PaletteOf(const std::vector<QImage>& frames) {
    TPaletteBuilder builder;
    for (const QImage& frame : frames)
        builder.AddPixels(frame.constBits(), frame.width(), frame.height(),
                          static_cast<int>(frame.bytesPerLine()));
    return builder.Build();
}

// Red-green-blue bytes of an RGBA picture, rows packed.
std::vector<uchar> Rgb(const QImage& rgba) {
    std::vector<uchar> out;
    for (int y = 0; y < rgba.height(); ++y)
        for (int x = 0; x < rgba.width(); ++x)
            out.insert(out.end(), rgba.constScanLine(y) + x * 4, rgba.constScanLine(y) + x * 4 + 3);
    return out;
}

int Distance(QRgb c, int r, int g, int b) {
    return (qRed(c) - r) * (qRed(c) - r) + (qGreen(c) - g) * (qGreen(c) - g) +
           (qBlue(c) - b) * (qBlue(c) - b);
}

int NearestDistance(const QVector<QRgb>& palette, int transparent, int r, int g, int b) {
    int best = INT_MAX;
    for (int i = 0; i < palette.size(); ++i)
        if (i != transparent)
            best = std::min(best, Distance(palette[i], r, g, b));
    return best;
}

// A rectangle of a picture, as Remap takes it: where it starts, its size and the picture's line
// lengths.
struct TBox {
    int X, Y, Width, Height;
};

// Checks indices of `box` against the rule itself, pixel by pixel, with a search of the whole
// palette: clear pixels and kept ones get the transparent entry, others an entry at the nearest
// distance.
void ExpectFollowsTheRule(const QImage& rgba, const TBox& box, const QVector<QRgb>& palette,
                          int transparent, const std::vector<uchar>& shown, int keep,
                          const std::vector<uchar>& indices) {
    for (int y = 0; y < box.Height; ++y)
        for (int x = 0; x < box.Width; ++x) {
            const uchar* p = rgba.constScanLine(box.Y + y) + (box.X + x) * 4;
            const int index = indices[static_cast<size_t>(y * box.Width + x)];
            const size_t at = (static_cast<size_t>(box.Y + y) * rgba.width() + box.X + x) * 3;
            const int nearest = NearestDistance(palette, transparent, p[0], p[1], p[2]);
            const bool kept = p[3] == 0 || (!shown.empty() &&
                                            Distance(qRgb(shown[at], shown[at + 1], shown[at + 2]),
                                                     p[0], p[1], p[2]) <= nearest + keep);
            ASSERT_EQ(index == transparent, kept) << "at " << box.X + x << "," << box.Y + y;
            if (!kept) {
                ASSERT_EQ(Distance(palette[index], p[0], p[1], p[2]), nearest);
            }
        }
}

} // namespace

TEST(WorkPool, EveryRowIsDoneOnceInRangesOfTheGivenSize) {
    const std::vector<std::pair<int, int>> cases = {{0, 3},   {1, 1},    {1, 100}, {7, 3},
                                                    {100, 1}, {1000, 7}, {5, 5},   {6, 5}};
    for (const int threads : {1, 2, 4}) {
        TWorkPool pool(threads);
        ASSERT_EQ(pool.Threads(), threads);
        // Many calls one after another: a range handed out twice, or a call that returns while
        // a thread still works on it, shows as a row done twice or not at all.
        for (int round = 0; round < 200; ++round)
            for (const auto& [rows, chunkRows] : cases) {
                std::vector<std::atomic<int>> done(static_cast<size_t>(rows));
                std::atomic<int> badRanges{0};
                pool.ForRows(rows, chunkRows, [&](int begin, int end) {
                    if (begin % chunkRows != 0 || end <= begin || end - begin > chunkRows ||
                        (end - begin < chunkRows && end != rows))
                        ++badRanges;
                    for (int y = begin; y < end; ++y)
                        ++done[static_cast<size_t>(y)];
                });
                ASSERT_EQ(badRanges, 0) << rows << " rows by " << chunkRows;
                for (int y = 0; y < rows; ++y)
                    ASSERT_EQ(done[static_cast<size_t>(y)], 1) << "row " << y << " of " << rows;
                ASSERT_EQ(TWorkPool::Chunks(rows, chunkRows), (rows + chunkRows - 1) / chunkRows);
            }
    }
}

TEST(WorkPool, EveryThreadOfThePoolTakesRangesAndAPoolOfOneIsTheCaller) {
    // Each range waits until every thread of the pool has started one: they can only go on when
    // all really work alongside (the wait is a guard against hanging, not a measure of time).
    for (const int threads : {1, 2, 4}) {
        TWorkPool pool(threads);
        std::mutex mutex;
        std::condition_variable started;
        std::set<std::thread::id> seen;
        int ranges = 0;
        pool.ForRows(16, 1, [&](int, int) {
            std::unique_lock lock(mutex);
            seen.insert(std::this_thread::get_id());
            ++ranges;
            started.notify_all();
            started.wait_for(lock, std::chrono::seconds(60),
                             [&] { return static_cast<int>(seen.size()) == threads; });
        });
        EXPECT_EQ(ranges, 16);
        EXPECT_EQ(static_cast<int>(seen.size()), threads);
        EXPECT_TRUE(seen.count(std::this_thread::get_id()));
    }
}

// Work whose ranges each hold much memory is given to no more threads than asked: ranges wait for
// a third one to come in alongside (it would with four threads taking them), which never happens;
// the wait's end is the expected way out, and every range is still done.
TEST(WorkPool, RangesGoToNoMoreThreadsThanAsked) {
    TWorkPool pool(4);
    std::mutex mutex;
    std::condition_variable changed;
    int inside = 0, most = 0, done = 0;
    pool.ForRows(
        6, 1,
        [&](int, int) {
            std::unique_lock lock(mutex);
            most = std::max(most, ++inside);
            changed.notify_all();
            changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return inside > 2; });
            --inside;
            ++done;
        },
        2);
    EXPECT_EQ(done, 6);
    EXPECT_LE(most, 2);
}

TEST(WorkPool, TheMachinesThreadCountCanBeOverridden) {
    const QByteArray before = qgetenv("VG_THREADS");
    qputenv("VG_THREADS", "3");
    EXPECT_EQ(TWorkPool::MachineThreads(), 3);
    for (const char* ignored : {"0", "-2", "many", "100000"}) {
        qputenv("VG_THREADS", ignored);
        EXPECT_EQ(TWorkPool::MachineThreads(), std::max(1, QThread::idealThreadCount())) << ignored;
    }
    if (before.isNull())
        qunsetenv("VG_THREADS");
    else
        qputenv("VG_THREADS", before);
}

// A caller never waits for work no thread has taken: with every thread of the pool held up by a
// job, rows shared and a second job waited for are all done by the caller; and a job on the pool
// may share rows itself while the caller shares its own.
TEST(WorkPool, ABusyPoolOnlyMeansLessHelpAndWorkMayNest) {
    TWorkPool pool(2);
    std::mutex mutex;
    std::condition_variable changed;
    bool holding = false, release = false;
    TPoolJob holder(pool);
    holder.Start([&] {
        std::unique_lock lock(mutex);
        holding = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(60), [&] { return release; });
    });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return holding; }));
    }
    std::set<std::thread::id> rowThreads;
    pool.ForRows(50, 1, [&](int, int) { rowThreads.insert(std::this_thread::get_id()); });
    EXPECT_EQ(rowThreads, std::set<std::thread::id>{std::this_thread::get_id()});
    TPoolJob second(pool);
    std::thread::id ranOn;
    second.Start([&] { ranOn = std::this_thread::get_id(); });
    second.Wait();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    {
        const std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    holder.Wait();

    for (int round = 0; round < 200; ++round) {
        std::vector<std::atomic<int>> inner(64), outer(64);
        TPoolJob nested(pool);
        nested.Start([&] {
            pool.ForRows(64, 3, [&](int begin, int end) {
                for (int i = begin; i < end; ++i)
                    ++inner[static_cast<size_t>(i)];
            });
        });
        pool.ForRows(64, 5, [&](int begin, int end) {
            for (int i = begin; i < end; ++i)
                ++outer[static_cast<size_t>(i)];
        });
        nested.Wait();
        for (size_t i = 0; i < 64; ++i)
            ASSERT_TRUE(inner[i] == 1 && outer[i] == 1) << "round " << round << " row " << i;
    }
}

// Jobs run one at a time, each once, and what a job wrote is there when Wait returns (plain,
// unsynchronised data: a missing wait shows under the thread sanitizer and as a wrong count).
// Start does not wait for the job it starts: the job below only ends once the caller, back from
// Start, lets it. The destructor waits for the last job.
TEST(PoolJob, JobsRunInTurnBesideTheCallerAndWaitSeesWhatTheyWrote) {
    TWorkPool pool(2);
    bool lastDone = false;
    {
        TPoolJob job(pool);
        job.Wait(); // nothing started: returns at once
        int count = 0;
        for (int i = 0; i < 500; ++i) {
            job.Start([&] { ++count; });
            if (i % 2 == 0) // the other half: Start waits for the job before
                job.Wait();
        }
        job.Wait();
        EXPECT_EQ(count, 500);

        std::mutex mutex;
        std::condition_variable released;
        bool release = false;
        job.Start([&] {
            std::unique_lock lock(mutex);
            released.wait_for(lock, std::chrono::seconds(60), [&] { return release; });
            lastDone = release;
        });
        {
            const std::lock_guard lock(mutex);
            release = true;
        }
        released.notify_all();
    }
    EXPECT_TRUE(lastDone);
}

// Remapping frames of a real video on two threads gives what one thread gives, and both follow
// the rule a search of the whole palette gives; boxes of every shape, with and without keeping
// the colours on screen, with clear pixels among the others.
TEST(Remapper, SharedRowsGiveExactlyTheIndicesOfOneThreadOnRealFrames) {
    const std::vector<QImage> frames = BearFrames(4, QSize(320, 180));
    ASSERT_EQ(frames.size(), 4u);
    QVector<QRgb> palette = PaletteOf(frames);
    ASSERT_GE(palette.size(), 200);
    palette = palette.mid(0, 255);
    const int transparent = static_cast<int>(palette.size());
    palette.append(qRgb(0, 0, 0));
    TWorkPool pool(4);
    TRemapper alone(palette, transparent, 0.0f), shared(palette, transparent, 0.0f);
    shared.ShareRowsWith(&pool);
    const std::vector<TBox> boxes = {{0, 0, 320, 180}, {0, 0, 1, 180},   {319, 0, 1, 180},
                                     {0, 0, 320, 1},   {0, 179, 320, 1}, {283, 143, 37, 37},
                                     {1, 2, 317, 177}, {150, 60, 1, 1}};
    for (size_t f = 1; f < frames.size(); ++f) {
        QImage frame = frames[f];
        // Every seventh pixel clear, as pixels that did not change are.
        for (int y = 0; y < frame.height(); ++y)
            for (int x = (y % 7); x < frame.width(); x += 7)
                frame.scanLine(y)[x * 4 + 3] = 0;
        const std::vector<uchar> shown = Rgb(frames[f - 1]);
        for (const TBox& box : boxes)
            for (const int keep : {-1, 0, 40}) {
                SCOPED_TRACE(testing::Message()
                             << "frame " << f << " box " << box.X << "," << box.Y << " "
                             << box.Width << "x" << box.Height << " keep " << keep);
                const uchar* rgba = frame.constScanLine(box.Y) + box.X * 4;
                const int line = static_cast<int>(frame.bytesPerLine());
                const uchar* seen =
                    keep < 0 ? nullptr : shown.data() + (box.Y * frame.width() + box.X) * 3;
                const size_t pixels = static_cast<size_t>(box.Width) * box.Height;
                std::vector<uchar> one(pixels, 77), two(pixels, 99);
                ASSERT_TRUE(alone.Remap(rgba, box.Width, box.Height, line, one.data(), seen,
                                        frame.width() * 3, std::max(keep, 0)));
                ASSERT_TRUE(shared.Remap(rgba, box.Width, box.Height, line, two.data(), seen,
                                         frame.width() * 3, std::max(keep, 0)));
                ASSERT_EQ(one, two);
                ExpectFollowsTheRule(frame, box, palette, transparent,
                                     keep < 0 ? std::vector<uchar>{} : shown, std::max(keep, 0),
                                     two);
            }
    }
}

TEST(Remapper, ATallColumnSharedByRowsMatchesTheWholePaletteSearch) {
    // One pixel wide and thousands of rows: many ranges of rows, each a handful of pixels.
    std::mt19937 random(5);
    QImage column(1, 20000, QImage::Format_RGBA8888);
    for (int y = 0; y < column.height(); ++y)
        column.setPixel(0, y,
                        qRgba(static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                              static_cast<int>(random() % 256), y % 5 == 0 ? 0 : 255));
    QVector<QRgb> palette;
    for (int i = 0; i < 200; ++i)
        palette.append(qRgb(static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                            static_cast<int>(random() % 256)));
    palette.append(qRgb(0, 0, 0));
    TWorkPool pool(4);
    TRemapper remapper(palette, 200, 0.0f);
    remapper.ShareRowsWith(&pool);
    std::vector<uchar> indices(20000);
    ASSERT_TRUE(remapper.Remap(column.constBits(), 1, 20000,
                               static_cast<int>(column.bytesPerLine()), indices.data()));
    ExpectFollowsTheRule(column, {0, 0, 1, 20000}, palette, 200, {}, 0, indices);
}

TEST(Remapper, NearestColoursAskedOnTwoThreadsAtOnceAreTheNearest) {
    // A fresh remapper finds its candidates while both threads ask; colours that share a slot of
    // the table of known answers (equal low bits) come one after another.
    std::mt19937 random(11);
    QVector<QRgb> palette;
    for (int i = 0; i < 255; ++i)
        palette.append(qRgb(static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                            static_cast<int>(random() % 256)));
    std::vector<QRgb> colours;
    for (int r = 0; r < 256; r += 32)
        for (int g = 0; g < 256; g += 32)
            for (int b = 0; b < 256; b += 32)
                for (const int low : {0, 1, 7, 31})
                    colours.push_back(qRgb(r + low, g + low, b + low));
    for (int round = 0; round < 3; ++round) {
        TRemapper remapper(palette, -1, 0.0f);
        std::vector<int> first(colours.size()), second(colours.size());
        std::thread other([&] {
            for (size_t i = colours.size(); i-- > 0;)
                second[i] =
                    remapper.Nearest(qRed(colours[i]), qGreen(colours[i]), qBlue(colours[i]));
        });
        for (size_t i = 0; i < colours.size(); ++i)
            first[i] = remapper.Nearest(qRed(colours[i]), qGreen(colours[i]), qBlue(colours[i]));
        other.join();
        for (size_t i = 0; i < colours.size(); ++i) {
            const QRgb c = colours[i];
            const int best = NearestDistance(palette, -1, qRed(c), qGreen(c), qBlue(c));
            ASSERT_EQ(Distance(palette[first[i]], qRed(c), qGreen(c), qBlue(c)), best);
            ASSERT_EQ(first[i], second[i]);
        }
    }
}

TEST(Remapper, BlackAndTheColoursSharingItsSlotGetTheirOwnNearest) {
    // Black's answer is known from the start, in the slot that (32, 64, 96) and others share.
    const QVector<QRgb> palette = {qRgb(30, 60, 100), qRgb(0, 0, 0), qRgb(200, 200, 200)};
    TRemapper remapper(palette, -1, 0.0f);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(remapper.Nearest(32, 64, 96), 0);
        EXPECT_EQ(remapper.Nearest(0, 0, 0), 1);
        EXPECT_EQ(remapper.Nearest(224, 224, 224), 2);
        EXPECT_EQ(remapper.Nearest(0, 0, 32), 1);
    }
}

TEST(Remapper, ErrorDiffusionStaysOnOneThreadAndMixesColours) {
    // A flat quarter grey with only black and white: diffusion mixes about a quarter of white
    // pixels, the same with a helper as without; rows alone cannot be diffused.
    QImage grey(64, 64, QImage::Format_RGBA8888);
    grey.fill(qRgba(64, 64, 64, 255));
    const QVector<QRgb> palette = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 0)};
    TWorkPool pool(2);
    TRemapper alone(palette, 2, 1.0f), shared(palette, 2, 1.0f);
    shared.ShareRowsWith(&pool);
    std::vector<uchar> one(64 * 64), two(64 * 64);
    ASSERT_TRUE(alone.Remap(grey.constBits(), 64, 64, 64 * 4, one.data()));
    ASSERT_TRUE(shared.Remap(grey.constBits(), 64, 64, 64 * 4, two.data()));
    EXPECT_EQ(one, two);
    const auto white = std::count(two.begin(), two.end(), 1);
    EXPECT_NEAR(static_cast<double>(white) / (64 * 64), 64.0 / 255, 0.02);
    EXPECT_FALSE(shared.RemapRows(grey.constBits(), 64, 0, 64, 64 * 4, two.data()));
}

// The encoder gives the same bytes whether or not it shares rows, looks up the colours of the
// frame coming while it draws the one before and compresses exact images while it draws the next,
// on any number of threads, and counts the same bytes for each frame: real frames of two scenes
// (two palettes), screen-like frames (flat colours, a moving box) and dithered ones.
TEST(GifEncoder, SharingRowsChangesNoByteOfTheGif) {
    std::vector<QImage> filmed = BearFrames(6, QSize(256, 144));
    ASSERT_EQ(filmed.size(), 6u);
    std::vector<QImage> screen;
    for (int i = 0; i < 4; ++i) {
        QImage frame(256, 144, QImage::Format_RGBA8888);
        frame.fill(qRgba(30, 32, 36, 255));
        for (int y = 20 + i * 9; y < 40 + i * 9; ++y)
            for (int x = 0; x < 256; ++x)
                frame.setPixel(x, y, qRgba(x, 200, 40 + i * 30, 255));
        screen.push_back(frame);
    }
    const std::vector<QVector<QRgb>> palettes = {PaletteOf(filmed), PaletteOf(screen)};
    for (const float dither : {0.0f, 0.6f}) {
        TWorkPool two(2), five(5);
        TWorkPool* const pools[] = {nullptr, &two, &five};
        QByteArray gifs[3];
        std::vector<qint64> costs[3];
        for (int share = 0; share < 3; ++share) {
            QBuffer buffer(&gifs[share]);
            buffer.open(QIODevice::WriteOnly);
            TGifEncoderOptions options;
            options.ShareRows = share > 0;
            options.Pool = pools[share];
            options.Dither = dither;
            TGifEncoder encoder(&buffer, QSize(256, 144), 0, palettes, options);
            ASSERT_TRUE(encoder.Start());
            for (const QImage& frame : filmed)
                ASSERT_TRUE(encoder.AddFrame(Rgb(frame).data(), 10, 0));
            for (const QImage& frame : screen)
                ASSERT_TRUE(encoder.AddFrame(Rgb(frame).data(), 10, 1));
            // Filmed frames again, in the other palette: looked up by another remapper.
            for (size_t i = 0; i < 3; ++i)
                ASSERT_TRUE(encoder.AddFrame(Rgb(filmed[i]).data(), 10, 1));
            // And a screen frame last: still being compressed when Finish is called.
            ASSERT_TRUE(encoder.AddFrame(Rgb(screen[0]).data(), 10, 1));
            ASSERT_TRUE(encoder.Finish());
            EXPECT_GE(encoder.ImagesWritten(), 8);
            costs[share] = encoder.BytesAfterFrame();
        }
        EXPECT_GT(gifs[0].size(), 10000);
        ASSERT_EQ(costs[0].size(), 14u);
        EXPECT_TRUE(std::is_sorted(costs[0].begin(), costs[0].end()));
        QByteArray empty;
        QBuffer emptyBuffer(&empty);
        emptyBuffer.open(QIODevice::WriteOnly);
        TGifEncoder nothing(&emptyBuffer, QSize(256, 144), 0, palettes);
        ASSERT_TRUE(nothing.Start() && nothing.Finish());
        EXPECT_EQ(costs[0].back(), gifs[0].size() - empty.size()); // header and trailer aside
        EXPECT_EQ(costs[0], costs[1]) << "dither " << dither;
        EXPECT_EQ(costs[0], costs[2]) << "dither " << dither;
        EXPECT_EQ(gifs[0], gifs[1]) << "dither " << dither;
        EXPECT_EQ(gifs[0], gifs[2]) << "dither " << dither;
    }
}

// Changed pixels are found in groups of sixteen and a remainder: a change in one channel at the
// first or last pixel of a group, of a row, or in the remainder is found, one of no more than the
// threshold is not, and each image covers exactly the box of what changed.
TEST(GifEncoder, EachImageCoversExactlyThePixelsThatChanged) {
    const QRgb grey = qRgb(100, 100, 100), green = qRgb(100, 200, 100), red = qRgb(200, 100, 100);
    const QSize size(37, 5); // two groups of sixteen and five more
    QImage frame(size, QImage::Format_RGBA8888);
    frame.fill(grey);
    std::vector<QImage> frames = {frame};
    frame.setPixel(16, 1, green);              // first of the second group
    frame.setPixel(36, 3, red);                // last of the row, in the remainder
    frame.setPixel(5, 2, qRgb(100, 100, 101)); // by the threshold of exact drawing: unchanged
    frames.push_back(frame);
    frame.setPixel(0, 4, red);    // first of the row
    frame.setPixel(15, 0, green); // last of the first group
    frames.push_back(frame);
    for (const bool share : {false, true}) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        TGifEncoderOptions options;
        options.ShareRows = share;
        TGifEncoder encoder(&buffer, size, 0, QVector<QRgb>{grey, green, red, qRgb(100, 100, 101)},
                            options);
        ASSERT_TRUE(encoder.Start());
        for (const QImage& f : frames)
            ASSERT_TRUE(encoder.AddFrame(Rgb(f).data(), 10));
        ASSERT_TRUE(encoder.Finish());
        const TDecodedGif gif = DecodeGifBytes(bytes);
        ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
        ASSERT_EQ(gif.Images.size(), 3u);
        const auto rect = [&](size_t i) {
            const TDecodedGif::TImage& image = gif.Images[i];
            return QRect(image.Left, image.Top, image.Width, image.Height);
        };
        EXPECT_EQ(rect(1), QRect(QPoint(16, 1), QPoint(36, 3)));
        EXPECT_EQ(rect(2), QRect(QPoint(0, 0), QPoint(15, 4)));
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_EQ(gif.Composed[i].pixel(5, 2), grey);
        EXPECT_EQ(gif.Composed[2].pixel(36, 3), red);
        EXPECT_EQ(gif.Composed[2].pixel(15, 0), green);
    }
}
