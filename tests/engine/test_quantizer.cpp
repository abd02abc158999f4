// Colour reduction and lossy compression: the nearest-colour search against a plain search of
// the whole palette, the palette from the colour histogram, and what lossy compression may change.

#include "engine/GifWriter.h"
#include "engine/Quantizer.h"
#include "tests/support/GifDecode.h"

#include <QBuffer>
#include <climits>
#include <gtest/gtest.h>
#include <random>

namespace {
int Distance(QRgb c, int r, int g, int b) {
    return (qRed(c) - r) * (qRed(c) - r) + (qGreen(c) - g) * (qGreen(c) - g) +
           (qBlue(c) - b) * (qBlue(c) - b);
}

int BruteNearestDistance(const QVector<QRgb>& palette, int skip, int r, int g, int b) {
    int best = INT_MAX;
    for (int i = 0; i < palette.size(); ++i)
        if (i != skip)
            best = std::min(best, Distance(palette[i], r, g, b));
    return best;
}

QVector<QRgb> RandomPalette(std::mt19937& random, int size) {
    QVector<QRgb> palette;
    for (int i = 0; i < size; ++i)
        palette.append(qRgb(static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                            static_cast<int>(random() % 256)));
    return palette;
}

// One frame of `width` × height indices compressed lossily, in a GIF read back by giflib.
TDecodedGif WriteAndRead(int width, int height, std::vector<uchar>& indices,
                         const QVector<QRgb>& palette, const TLossyChoice& choice) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TGifWriter writer(&buffer);
    EXPECT_TRUE(writer.WriteHeader(width, height, palette, std::nullopt));
    TGifFrame frame;
    frame.Rect = QRect(0, 0, width, height);
    frame.TransparentIndex = choice.TransparentIndex;
    frame.Data = GifLossyLzwEncode(indices.data(), static_cast<qsizetype>(indices.size()),
                                   GifCodeSize(static_cast<int>(palette.size())), choice);
    EXPECT_TRUE(writer.WriteFrame(frame));
    EXPECT_TRUE(writer.WriteTrailer());
    return DecodeGifBytes(bytes);
}
} // namespace

// The candidate lists of the colour cubes must never miss the nearest entry: every kind of
// palette (random, clustered in one corner, with twins, tiny) against a search of all entries.
TEST(Remapper, NearestIsTheNearestOfTheWholePalette) {
    std::mt19937 random(77);
    std::vector<QVector<QRgb>> palettes = {RandomPalette(random, 255),
                                           RandomPalette(random, 16),
                                           {qRgb(0, 0, 0), qRgb(255, 255, 255)}};
    QVector<QRgb> corner;
    for (int i = 0; i < 200; ++i)
        corner.append(qRgb(static_cast<int>(random() % 24), static_cast<int>(random() % 24),
                           static_cast<int>(random() % 24)));
    palettes.push_back(corner);
    QVector<QRgb> twins = RandomPalette(random, 60);
    twins += twins;
    palettes.push_back(twins);
    for (const QVector<QRgb>& palette : palettes) {
        TRemapper remapper(palette, -1, 0.0f);
        ASSERT_TRUE(remapper.IsValid());
        for (int k = 0; k < 20000; ++k) {
            const int r = static_cast<int>(random() % 256), g = static_cast<int>(random() % 256),
                      b = static_cast<int>(random() % 256);
            const int index = remapper.Nearest(r, g, b);
            ASSERT_GE(index, 0);
            ASSERT_LT(index, palette.size());
            ASSERT_EQ(Distance(palette[index], r, g, b), BruteNearestDistance(palette, -1, r, g, b))
                << "palette of " << palette.size() << ", colour " << r << "," << g << "," << b;
        }
        // Colours alike in their low bits share the remembered answers' places: each one's own
        // answer, when asked again in any order, too.
        for (int round = 0; round < 2; ++round)
            for (int low = 0; low < 300; ++low) {
                const int r0 = low % 64, g0 = (low * 7) % 64, b0 = (low * 13) % 64;
                for (int high = 0; high < 64; ++high) {
                    const int turn = round == 0 ? high : 63 - high;
                    const int r = r0 + (turn >> 4) * 64, g = g0 + ((turn >> 2) & 3) * 64,
                              b = b0 + (turn & 3) * 64;
                    ASSERT_EQ(Distance(palette[remapper.Nearest(r, g, b)], r, g, b),
                              BruteNearestDistance(palette, -1, r, g, b))
                        << "colour " << r << "," << g << "," << b << ", round " << round;
                }
            }
    }
}

// Rows are remapped several pixels at a time where the processor allows: every width (the
// tails), pixels left out, shown colours kept or not, with and without a transparent entry, the
// same as taking each pixel on its own.
TEST(Remapper, RowsGiveEachPixelItsNearestOrShownColour) {
    std::mt19937 random(5);
    // Enough colours that the nearest is as close as the shown colours often are.
    for (const int transparent : {-1, 100}) {
        const QVector<QRgb> palette = RandomPalette(random, 200);
        TRemapper remapper(palette, transparent, 0.0f);
        ASSERT_TRUE(remapper.IsValid());
        for (int width = 1; width <= 37; ++width) {
            const int height = 3, stride = width * 4 + 8, keepDistance = 10 * (width % 8);
            std::vector<uchar> rgba(static_cast<size_t>(stride) * height);
            std::vector<uchar> shown(static_cast<size_t>(width) * 3 * height);
            for (size_t i = 0; i < rgba.size(); ++i)
                rgba[i] = static_cast<uchar>(random());
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    uchar* p = rgba.data() + y * stride + x * 4;
                    p[3] = random() % 4 == 0 ? 0 : 255;
                    for (int c = 0; c < 3; ++c) // near the pixel's colour, or anywhere
                        shown[static_cast<size_t>((y * width + x) * 3 + c)] = static_cast<uchar>(
                            random() % 4
                                ? std::clamp(p[c] + static_cast<int>(random() % 21) - 10, 0, 255)
                                : random());
                }
            for (const bool withShown : {false, true}) {
                std::vector<uchar> indices(static_cast<size_t>(width) * height, 99);
                ASSERT_TRUE(remapper.RemapRows(rgba.data(), width, 0, height, stride,
                                               indices.data(), withShown ? shown.data() : nullptr,
                                               width * 3, keepDistance));
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) {
                        const uchar* p = rgba.data() + y * stride + x * 4;
                        const uchar* s = shown.data() + (y * width + x) * 3;
                        int expected = std::max(transparent, 0);
                        if (p[3] != 0) {
                            expected = remapper.Nearest(p[0], p[1], p[2]);
                            if (withShown && transparent >= 0 &&
                                Distance(qRgb(s[0], s[1], s[2]), p[0], p[1], p[2]) <=
                                    Distance(palette[expected], p[0], p[1], p[2]) + keepDistance)
                                expected = transparent;
                        }
                        ASSERT_EQ(indices[static_cast<size_t>(y * width + x)], expected)
                            << "width " << width << ", pixel " << x << "," << y
                            << (withShown ? ", shown colours" : "") << ", transparent entry "
                            << transparent;
                    }
            }
        }
    }
}

TEST(Remapper, TheTransparentEntryIsNeverANearestColourAndShownColoursAreKeptWhenAsGood) {
    // Entry 1 is the transparent one, though its stored colour is the nearest to everything red.
    const QVector<QRgb> palette = {qRgb(0, 0, 0), qRgb(250, 0, 0), qRgb(200, 0, 0),
                                   qRgb(255, 255, 255)};
    TRemapper remapper(palette, 1, 0.0f);
    EXPECT_EQ(remapper.Nearest(250, 0, 0), 2);
    // Three opaque pixels. What the viewer sees: the first pixel already shows its wanted colour
    // exactly; the second shows a blue a little worse than black (the nearest palette colour);
    // the third something far off.
    const uchar rgba[] = {10, 200, 10, 255, 90, 90, 90, 255, 205, 0, 0, 255};
    const uchar shown[] = {10, 200, 10, 90, 90, 250, 0, 0, 255};
    uchar indices[3] = {};
    ASSERT_TRUE(remapper.Remap(rgba, 3, 1, 12, indices, shown, 9, 0));
    EXPECT_EQ(indices[0], 1); // kept: the screen is better than any palette colour
    EXPECT_EQ(indices[1], 0); // black (distance 3 × 90² = 24300) beats the shown blue (25600)
    EXPECT_EQ(indices[2], 2);
    // With room to spare, the close shown colour is kept too.
    ASSERT_TRUE(remapper.Remap(rgba, 3, 1, 12, indices, shown, 9, 30000));
    EXPECT_EQ(indices[1], 1);
    EXPECT_EQ(indices[2], 2);
}

TEST(PaletteBuilder, AFewColoursComeBackExactlyAndStepsSkipPixels) {
    const std::vector<QRgb> colours = {qRgb(3, 7, 250), qRgb(128, 64, 32), qRgb(255, 255, 255),
                                       qRgb(0, 0, 0), qRgb(17, 200, 90)};
    std::vector<uchar> rgb;
    for (int i = 0; i < 1000; ++i) {
        const QRgb c = colours[static_cast<size_t>(i) % colours.size()];
        rgb.insert(rgb.end(), {static_cast<uchar>(qRed(c)), static_cast<uchar>(qGreen(c)),
                               static_cast<uchar>(qBlue(c))});
    }
    TPaletteBuilder builder(255, 5);
    EXPECT_TRUE(builder.Build().isEmpty()); // nothing added yet
    builder.AddRgb(rgb.data(), 1000);
    const QVector<QRgb> palette = builder.Build();
    for (QRgb c : colours)
        EXPECT_TRUE(palette.contains(c)) << std::hex << c;

    // Every fifth pixel is always the same colour: a step of 5 sees only that one.
    TPaletteBuilder stepped(255, 5);
    stepped.AddRgb(rgb.data(), 1000, 5);
    const QVector<QRgb> one = stepped.Build();
    ASSERT_FALSE(one.isEmpty());
    for (QRgb c : one)
        EXPECT_EQ(c, colours[0]);
}

// A screen picture: two near colours (within one of the 4-level cubes colours are otherwise
// counted in) cover most of it, and thousands of other colours the rest. Each big flat colour must
// be in the palette exactly; averaged into one cube, neither would be.
TEST(PaletteBuilder, FlatColoursAmongThousandsComeBackExactly) {
    const QRgb background = qRgb(21, 25, 31), panel = qRgb(22, 26, 29);
    std::vector<uchar> rgb;
    auto put = [&rgb](int r, int g, int b) {
        rgb.insert(rgb.end(),
                   {static_cast<uchar>(r), static_cast<uchar>(g), static_cast<uchar>(b)});
    };
    for (int i = 0; i < 60000; ++i)
        put(qRed(background), qGreen(background), qBlue(background));
    for (int i = 0; i < 30000; ++i)
        put(qRed(panel), qGreen(panel), qBlue(panel));
    for (int i = 0; i < 4000; ++i) // text edges: every kind of mixed colour
        put(40 + i % 200, 60 + (i / 200) * 9, 255 - i % 97);
    TPaletteBuilder builder(255, 5);
    builder.AddRgb(rgb.data(), static_cast<qsizetype>(rgb.size() / 3));
    EXPECT_TRUE(builder.Exact());
    const QVector<QRgb> palette = builder.Build();
    EXPECT_EQ(palette.size(), 255);
    EXPECT_TRUE(palette.contains(background));
    EXPECT_TRUE(palette.contains(panel));

    // The same colours in a filmed picture's order (no two neighbours alike) are counted in
    // cubes, as before: few distinct colours alone do not make a screen.
    std::vector<uchar> shuffled;
    for (size_t i = 0; i < rgb.size() / 3; ++i) {
        const size_t from = (i * 7919) % (rgb.size() / 3);
        shuffled.insert(shuffled.end(), rgb.begin() + static_cast<qsizetype>(from * 3),
                        rgb.begin() + static_cast<qsizetype>(from * 3 + 3));
    }
    TPaletteBuilder filmed(255, 5);
    filmed.AddRgb(shuffled.data(), static_cast<qsizetype>(shuffled.size() / 3));
    EXPECT_FALSE(filmed.Exact());
}

// Past the limit of distinct colours the counter gives up, and the palette comes from the cubes.
TEST(PaletteBuilder, ManyColoursFallBackToCubes) {
    TExactColorCounter counter;
    for (int i = 0; i < TExactColorCounter::Limit; ++i)
        counter.Add(i >> 10, (i >> 5) & 31, i & 31);
    counter.Add(7, 7, 7); // counted before: still exact
    EXPECT_FALSE(counter.Overflowed());
    EXPECT_EQ(counter.Distinct(), TExactColorCounter::Limit);
    uint64_t total = 0;
    counter.ForEach([&](int r, int g, int b, uint32_t count) {
        total += count;
        if (r == 7 && g == 7 && b == 7) {
            EXPECT_EQ(count, 2u);
        }
    });
    EXPECT_EQ(total, static_cast<uint64_t>(TExactColorCounter::Limit) + 1);
    counter.Add(255, 255, 255);
    EXPECT_TRUE(counter.Overflowed());

    std::vector<uchar> rgb;
    for (int i = 0; i < 1 << 18; ++i)
        rgb.insert(rgb.end(), {static_cast<uchar>(i & 255), static_cast<uchar>((i >> 8) & 255),
                               static_cast<uchar>(i >> 16 << 6)});
    TPaletteBuilder builder(255, 10);
    builder.AddRgb(rgb.data(), static_cast<qsizetype>(rgb.size() / 3));
    EXPECT_FALSE(builder.Exact());
    const QVector<QRgb> palette = builder.Build();
    EXPECT_GT(palette.size(), 200);

    // A cancel flag that stays clear changes nothing; a set one ends the search with no palette.
    std::atomic<bool> cancel{false};
    EXPECT_EQ(builder.Build(&cancel), palette);
    cancel = true;
    EXPECT_TRUE(builder.Build(&cancel).isEmpty());
}

// Lossy compression may only swap an index for one that looks at most the tolerance worse, must
// report what it wrote, and must pay off on noisy pictures.
TEST(GifLossyLzw, ChoicesStayWithinTheToleranceAndShrinkNoisyPictures) {
    std::mt19937 random(5);
    // A grey ramp palette with a transparent entry last.
    QVector<QRgb> palette;
    for (int i = 0; i < 255; ++i)
        palette.append(qRgb(i, i, i));
    palette.append(qRgb(0, 0, 0));
    const int clear = 255;
    const int width = 200, height = 120;
    const size_t count = static_cast<size_t>(width) * height;
    std::vector<uchar> wanted(count * 3), shown(count * 3), exact(count);
    for (size_t i = 0; i < count; ++i) {
        // A smooth ramp with noise: what a camera gives.
        const int level =
            std::clamp(static_cast<int>(i % width) + static_cast<int>(random() % 9) - 4, 0, 254);
        wanted[i * 3] = wanted[i * 3 + 1] = wanted[i * 3 + 2] = static_cast<uchar>(level);
        const int screen = std::clamp(level + static_cast<int>(random() % 5) - 2, 0, 254);
        shown[i * 3] = shown[i * 3 + 1] = shown[i * 3 + 2] = static_cast<uchar>(screen);
        exact[i] = static_cast<uchar>(i % 7 == 0 ? clear : level);
    }
    const QByteArray lossless =
        GifLzwEncode(exact.data(), static_cast<qsizetype>(count), GifCodeSize(256));

    const std::pair<int, float> settings[] = {{0, 0.0f}, {12, 0.0f}, {75, 0.0f}, {2, 0.5f}};
    for (const auto& [tolerance, relative] : settings) {
        TLossyChoice choice;
        choice.Relative = relative;
        choice.Wanted = wanted.data();
        choice.Shown = shown.data();
        choice.Palette = palette.constData();
        choice.TransparentIndex = clear;
        choice.Tolerance = tolerance;
        std::vector<uchar> written = exact;
        const TDecodedGif gif = WriteAndRead(width, height, written, palette, choice);
        ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
        ASSERT_EQ(gif.Images.size(), 1u);
        EXPECT_EQ(gif.Images[0].Indices, written) << "tolerance " << tolerance;
        const auto look = [&](size_t i, int index) {
            return index == clear ? qRgb(shown[i * 3], shown[i * 3 + 1], shown[i * 3 + 2])
                                  : palette[index];
        };
        size_t changed = 0;
        for (size_t i = 0; i < count; ++i) {
            const int own =
                Distance(look(i, exact[i]), wanted[i * 3], wanted[i * 3 + 1], wanted[i * 3 + 2]);
            const int now =
                Distance(look(i, written[i]), wanted[i * 3], wanted[i * 3 + 1], wanted[i * 3 + 2]);
            ASSERT_LE(now, own + static_cast<int>(own * relative) + tolerance)
                << "pixel " << i << ", tolerance " << tolerance << " + " << relative;
            changed += written[i] != exact[i];
        }
        const qsizetype lossySize =
            gif.Images[0].Indices.empty()
                ? 0
                : static_cast<qsizetype>(
                      GifLzwEncode(written.data(), static_cast<qsizetype>(count), 8).size());
        if (tolerance == 75) {
            EXPECT_GT(changed, count / 4);
            EXPECT_LT(lossySize, lossless.size() * 3 / 4);
        }
    }

    // Without a picture on screen the transparent index is never chosen.
    TLossyChoice opaque;
    opaque.Wanted = wanted.data();
    opaque.Palette = palette.constData();
    opaque.TransparentIndex = clear;
    opaque.Tolerance = 10000;
    std::vector<uchar> levels(count);
    for (size_t i = 0; i < count; ++i)
        levels[i] = wanted[i * 3];
    std::vector<uchar> written = levels;
    const TDecodedGif gif = WriteAndRead(width, height, written, palette, opaque);
    ASSERT_TRUE(gif.Ok);
    EXPECT_EQ(std::count(written.begin(), written.end(), clear), 0);
    EXPECT_EQ(gif.Images[0].Indices, written);
}

TEST(GifLossyLzw, PerPixelTolerancesLimitEachPixel) {
    // Two colours far apart in noise; only the right half may be changed.
    const QVector<QRgb> palette = {qRgb(0, 0, 0), qRgb(40, 40, 40), qRgb(0, 0, 0)};
    const int width = 64, height = 64;
    const size_t count = static_cast<size_t>(width) * height;
    std::mt19937 random(11);
    std::vector<uchar> wanted(count * 3), indices(count);
    std::vector<uint16_t> tolerances(count);
    for (size_t i = 0; i < count; ++i) {
        indices[i] = static_cast<uchar>(random() % 2);
        wanted[i * 3] = wanted[i * 3 + 1] = wanted[i * 3 + 2] = indices[i] ? 40 : 0;
        tolerances[i] = static_cast<int>(i % width) >= width / 2 ? 60000 : 0;
    }
    TLossyChoice choice;
    choice.Wanted = wanted.data();
    choice.Palette = palette.constData();
    choice.TransparentIndex = 2;
    choice.Tolerances = tolerances.data();
    std::vector<uchar> written = indices;
    const TDecodedGif gif = WriteAndRead(width, height, written, palette, choice);
    ASSERT_TRUE(gif.Ok);
    EXPECT_EQ(gif.Images[0].Indices, written);
    size_t changedRight = 0;
    for (size_t i = 0; i < count; ++i) {
        if (static_cast<int>(i % width) < width / 2)
            ASSERT_EQ(written[i], indices[i]) << "pixel " << i;
        else
            changedRight += written[i] != indices[i];
    }
    EXPECT_GT(changedRight, count / 32);
}
