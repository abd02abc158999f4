#pragma once
// Colour reduction: palettes chosen by libimagequant from a histogram of the frames, and our own
// remapping of frames (or parts of them) to a palette with dithering.

#include <QImage>
#include <QVector>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class TWorkPool;

// Screen recordings and drawings are told from filmed pictures by their flat areas: at least this
// share of their pixels is exactly like the neighbour on its left (filmed pictures have well under
// half, even with black bars).
inline constexpr float ScreenFlatShare = 0.8f;

// Counts distinct colours exactly while there are few of them (screen recordings, drawings,
// small pictures), in an open-addressing table; once there are more than `Limit`, it gives up and
// frees the table.
class TExactColorCounter {
public:
    static constexpr int Limit = 1 << 16;
    void Add(int r, int g, int b, uint32_t n = 1);
    // Adds every colour `other` counted (and gives up as it would, past the limit).
    void Merge(const TExactColorCounter& other);
    bool Overflowed() const { return FOverflowed; }
    int Distinct() const { return FDistinct; }
    // Calls `visit(r, g, b, count)` for every colour counted.
    template <typename TVisit> void ForEach(TVisit visit) const {
        for (size_t slot = 0; slot < FKeys.size(); ++slot)
            if (FKeys[slot] != empty)
                visit(static_cast<int>(FKeys[slot] >> 16),
                      static_cast<int>((FKeys[slot] >> 8) & 0xFF),
                      static_cast<int>(FKeys[slot] & 0xFF), FCounts[slot]);
    }

private:
    static constexpr uint32_t empty = 0xFFFFFFFFu; // colours have 24 bits
    static constexpr int slotBits = 17;            // twice the limit: short probes
    // The slot of `key`, made (with a count of 0) when it is new; -1 when that overflows.
    int Find(uint32_t key);
    std::vector<uint32_t> FKeys, FCounts;
    uint32_t FLastKey = empty; // the colour added last, in FLastSlot
    int FLastSlot = -1;
    int FDistinct = 0;
    bool FOverflowed = false;
};

// Colours with how many pixels each stands for: what a palette is searched from.
using TWeightedColours = std::vector<std::pair<QRgb, uint32_t>>;

// Gathers the colours of the frames and chooses the palette. When the frames are screen-like and
// have few distinct colours, the library sees each of them exactly, so the large flat areas of a
// screen recording get their exact colour. Otherwise colours are counted in small cubes (4 levels a
// side) that remember the mean colour of their pixels, so the library's search works on tens of
// thousands of weighted colours rather than every distinct one, at no visible cost.
class TPaletteBuilder {
public:
    // `maxColors` opaque colours at most (255 leaves one index of 256 for transparency);
    // `speed` 1 (best) to 10 (fastest).
    explicit TPaletteBuilder(int maxColors = 255, int speed = 5);
    ~TPaletteBuilder();
    TPaletteBuilder(const TPaletteBuilder&) = delete;
    TPaletteBuilder& operator=(const TPaletteBuilder&) = delete;

    // Adds the colours of a picture given as RGBA bytes (4 per pixel; alpha is ignored).
    void AddPixels(const uchar* rgba, int width, int height, int bytesPerLine);
    // Adds `count` pixels of red-green-blue bytes, taking every `step`th.
    void AddRgb(const uchar* rgb, qsizetype count, int step = 1);
    // Adds what `other` gathered: builders that each took some of the frames, merged, choose the
    // palette one builder of all the frames chooses.
    void Merge(const TPaletteBuilder& other);
    // About the memory a builder takes once it has colours: its cubes and its exact counts.
    static constexpr qint64 GatheringBytes = (qint64{1} << 18) * 32 + (qint64{1} << 17) * 8;
    // The chosen opaque colours; empty when nothing was added or the library failed, or when
    // `cancel` (if given) was set during the search, which then ends early.
    QVector<QRgb> Build(const std::atomic<bool>* cancel = nullptr);
    // The weighted colours gathered so far, which Build searches: the exact ones, or the cubes'
    // means.
    TWeightedColours Colours() const;
    // The palette of up to `maxColors` chosen from `colours` at `speed`, as Build chooses it.
    static QVector<QRgb> Search(const TWeightedColours& colours, int maxColors, int speed,
                                const std::atomic<bool>* cancel = nullptr);
    // Whether the palette comes from the exact colours (so far).
    bool Exact() const {
        return !FExact.Overflowed() && FNeighbours > 0 &&
               static_cast<double>(FFlatNeighbours) >=
                   static_cast<double>(ScreenFlatShare) * static_cast<double>(FNeighbours);
    }

private:
    struct TCube {
        uint64_t R = 0, G = 0, B = 0;
        uint32_t Count = 0;
    };
    // Adds `n` pixels of one colour.
    void Add(int r, int g, int b, uint32_t n = 1) {
        TCube& cube = FCubes[static_cast<size_t>(((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2))];
        // The library counts in 32 bits: a cube stops counting there (thousands of big frames of
        // one colour), and its mean stays the mean of what it counted.
        const uint32_t counted = std::min(n, UINT32_MAX - cube.Count);
        if (counted == 1) { // most pixels of filmed pictures
            cube.R += static_cast<uint64_t>(r);
            cube.G += static_cast<uint64_t>(g);
            cube.B += static_cast<uint64_t>(b);
        } else {
            cube.R += static_cast<uint64_t>(r) * counted;
            cube.G += static_cast<uint64_t>(g) * counted;
            cube.B += static_cast<uint64_t>(b) * counted;
        }
        cube.Count += counted;
        if (!FExact.Overflowed())
            FExact.Add(r, g, b, n);
    }
    int FMaxColors;
    int FSpeed;
    std::vector<TCube> FCubes; // 64 × 64 × 64, made when the first colours come
    TExactColorCounter FExact;
    qint64 FAdded = 0;
    qint64 FNeighbours = 0, FFlatNeighbours = 0; // pairs of neighbours seen, and equal ones
};

// Maps pixels to a fixed palette: the nearest colour (plain RGB distance, which is what the eye
// of a viewer and the usual quality measures weigh), with serpentine error diffusion of
// adjustable strength. Nearest-colour searches only look at the palette entries that can be
// nearest within a small cube of colours, found when a colour of that cube first comes, and
// remember the answers for exact colours in a small table. Without error diffusion every pixel
// is mapped on its own: Nearest and RemapRows may then run on several threads at once, and Remap
// shares its rows with a helper thread when given one. Error diffusion goes pixel after pixel.
class TRemapper {
public:
    // `palette` is the GIF's palette; the entry `transparentIndex` (or -1) stands for pixels
    // whose alpha is 0. `dither` 0 (none) to 1 (full error diffusion).
    TRemapper(const QVector<QRgb>& palette, int transparentIndex, float dither);
    ~TRemapper();
    TRemapper(const TRemapper&) = delete;
    TRemapper& operator=(const TRemapper&) = delete;

    bool IsValid() const { return !FEntries.empty(); }
    bool Dithers() const { return FDither > 0; }
    // Rows of Remap are shared with the threads of `pool` (none: null) when there is no error
    // diffusion.
    void ShareRowsWith(TWorkPool* pool) { FPool = pool; }
    // Writes one palette index per pixel of the RGBA rectangle to `indices` (width × height).
    // With `shown` (red-green-blue bytes of what the viewer already sees there, `shownBytesPerLine`
    // apart), an opaque pixel whose wanted colour is no more than `keepDistance` (squared RGB
    // distance) further from the shown colour than from the nearest palette colour keeps the
    // shown colour: it gets the transparent index, and the diffused error is taken from the shown
    // colour.
    [[nodiscard]] bool Remap(const uchar* rgba, int width, int height, int bytesPerLine,
                             uchar* indices, const uchar* shown = nullptr,
                             int shownBytesPerLine = 0, int keepDistance = 0);
    // Remap without error diffusion, for rows [begin, end) of the same rectangle (the pointers
    // point at its first row); safe to run on several threads for different rows. False when the
    // remapper diffuses errors or is invalid. `nearest`, when given, holds each pixel's nearest
    // entry as NearestOf found it (`nearestPerLine` apart), so only the choice between it and the
    // shown colour is left to make.
    [[nodiscard]] bool RemapRows(const uchar* rgba, int width, int begin, int end, int bytesPerLine,
                                 uchar* indices, const uchar* shown = nullptr,
                                 int shownBytesPerLine = 0, int keepDistance = 0,
                                 const uchar* nearest = nullptr, int nearestPerLine = 0);
    // The nearest opaque entry of each of `count` red-green-blue pixels; safe to run on another
    // thread while this one remaps.
    void NearestOf(const uchar* rgb, qsizetype count, uchar* nearest);
    // The nearest opaque palette entry of a colour.
    int Nearest(int r, int g, int b) {
        const uint32_t key = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
                             static_cast<uint32_t>(b);
        const uint32_t known =
            FKnown[static_cast<size_t>(KnownSlot(key))].load(std::memory_order_relaxed);
        return (known >> 8) == KnownTag(key) ? static_cast<int>(known & 0xFF)
                                             : Search(r, g, b, key);
    }
    QRgb Color(int index) const { return FPalette[index]; }

private:
    struct TEntry {
        int R, G, B, Index;
    };
    // A palette entry that can be nearest to colours of a cube, with its distance to the cube.
    struct TCandidate {
        int Near;
        uint8_t R, G, B, Index;
    };
    // Exact colours seen and their nearest entry, one per slot: a slot is chosen by the low six
    // bits of the channels, so neighbouring colours take different slots, and holds
    // (tag << 8) | index, the tag being the two high bits of each channel plus one (0: empty).
    // Two bytes a slot keep the table (512 KB) in the core's own cache.
    static constexpr int knownBits = 6;
    static int KnownSlot(uint32_t key) {
        constexpr uint32_t low = (1u << knownBits) - 1;
        return static_cast<int>((((key >> 16) & low) << (2 * knownBits)) |
                                (((key >> 8) & low) << knownBits) | (key & low));
    }
    static uint32_t KnownTag(uint32_t key) {
        return (((key >> 22) << 4) | (((key >> 14) & 3) << 2) | ((key >> 6) & 3)) + 1;
    }
    int Search(int r, int g, int b, uint32_t key);
    // Remaps pixels of one row from the first on, as RemapRows does without looked-up nearest
    // entries (`seen`: the shown colours, null when none are kept), eight at a time, up to a
    // few pixels before the row's end; returns the first pixel not done.
    int RemapRowAvx2(const uchar* in, const uchar* seen, int width, uchar* out, int keepDistance);
    const TCandidate* CandidatesOf(int cell);
    const TCandidate* FindCandidates(int cell);
    bool RemapDiffused(const uchar* rgba, int width, int height, int bytesPerLine, uchar* indices,
                       const uchar* shown, int shownBytesPerLine, int keepDistance);

    QVector<QRgb> FPalette;
    int FTransparent = -1;
    int FDither = 0; // error diffusion strength in 1/256
    std::vector<TEntry> FEntries;
    // The candidates of each colour cube, nearest first and ended by one whose distance is
    // INT_MAX; null until first needed. Found under FCellMutex, then never changed.
    std::unique_ptr<std::atomic<const TCandidate*>[]> FCells;
    std::vector<std::vector<TCandidate>> FCellCandidates;
    std::mutex FCellMutex;
    std::unique_ptr<std::atomic<uint16_t>[]> FKnown;
    std::vector<int> FErrors; // two rows of diffused error, per channel
    TWorkPool* FPool = nullptr;
};
