#include "engine/Quantizer.h"

#include "common/SysInfo.h"

#include "engine/ImageQuantPtr.h"
#include "engine/WorkPool.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <omp.h>
#include <vector>

void TExactColorCounter::Add(int r, int g, int b, uint32_t n) {
    const uint32_t key = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
                         static_cast<uint32_t>(b);
    // Flat areas: mostly the colour of the pixel before, found without a search.
    if (key != FLastKey) {
        if (FKeys.empty()) {
            FKeys.assign(size_t{1} << slotBits, empty);
            FCounts.assign(FKeys.size(), 0);
        }
        FLastSlot = Find(key);
        if (FLastSlot < 0)
            return;
        FLastKey = key;
    }
    uint32_t& count = FCounts[static_cast<size_t>(FLastSlot)];
    count += std::min(n, UINT32_MAX - count); // the library counts in 32 bits
}

void TExactColorCounter::Merge(const TExactColorCounter& other) {
    if (FOverflowed)
        return;
    if (other.FOverflowed) {
        FOverflowed = true;
        FKeys = {};
        FCounts = {};
        return;
    }
    other.ForEach([this](int r, int g, int b, uint32_t n) {
        if (!FOverflowed)
            Add(r, g, b, n);
    });
}

int TExactColorCounter::Find(uint32_t key) {
    const uint32_t mask = (1u << slotBits) - 1;
    for (uint32_t slot = (key * 2654435761u) >> (32 - slotBits);; slot = (slot + 1) & mask) {
        if (FKeys[slot] == key)
            return static_cast<int>(slot);
        if (FKeys[slot] != empty)
            continue;
        if (FDistinct == Limit) {
            FOverflowed = true;
            FKeys = {};
            FCounts = {};
            return -1;
        }
        FKeys[slot] = key;
        ++FDistinct;
        return static_cast<int>(slot);
    }
}

namespace {
// The library's progress callback: 0 ends the search.
int GoOnSearching(float /*percent*/, void* cancel) {
    return static_cast<const std::atomic<bool>*>(cancel)->load() ? 0 : 1;
}
} // namespace

TPaletteBuilder::TPaletteBuilder(int maxColors, int speed)
    : FMaxColors(std::clamp(maxColors, 2, 256)), FSpeed(std::clamp(speed, 1, 10)) {}

TPaletteBuilder::~TPaletteBuilder() = default;

void TPaletteBuilder::AddPixels(const uchar* rgba, int width, int height, int bytesPerLine) {
    if (width <= 0 || height <= 0)
        return;
    if (FCubes.empty())
        FCubes.resize(size_t{1} << 18);
    for (int y = 0; y < height; ++y) {
        const uchar* p = rgba + static_cast<qsizetype>(y) * bytesPerLine;
        for (int x = 0; x < width; ++x, p += 4) {
            Add(p[0], p[1], p[2]);
            if (x > 0)
                FFlatNeighbours += std::memcmp(p - 4, p, 3) == 0 ? 1 : 0;
        }
        FNeighbours += width - 1;
    }
    FAdded += static_cast<qint64>(width) * height;
}

void TPaletteBuilder::AddRgb(const uchar* rgb, qsizetype count, int step) {
    if (count <= 0)
        return;
    if (FCubes.empty())
        FCubes.resize(size_t{1} << 18);
    step = std::max(step, 1);
    FAdded += (count + step - 1) / step;
    // Once there are too many colours for exact counting, how flat the picture is no longer
    // matters either.
    if (step > 1 || FExact.Overflowed()) {
        for (qsizetype i = 0; i < count; i += step)
            Add(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
        return;
    }
    // Pixels one after the other: runs of one colour (the rows of flat areas, and a few row ends)
    // are added at once, and tell how flat the picture is.
    for (qsizetype i = 0; i < count;) {
        const uchar* p = rgb + i * 3;
        qsizetype end = i + 1;
        while (end < count && std::memcmp(rgb + end * 3, p, 3) == 0)
            ++end;
        const qsizetype run = end - i;
        for (qsizetype done = 0; done < run; done += UINT32_MAX)
            Add(p[0], p[1], p[2],
                static_cast<uint32_t>(std::min<qsizetype>(run - done, UINT32_MAX)));
        FFlatNeighbours += run - 1;
        i = end;
    }
    FNeighbours += count - 1;
}

void TPaletteBuilder::Merge(const TPaletteBuilder& other) {
    if (other.FCubes.empty())
        return;
    if (FCubes.empty())
        FCubes.resize(other.FCubes.size());
    for (size_t i = 0; i < FCubes.size(); ++i) {
        const TCube& from = other.FCubes[i];
        if (from.Count == 0)
            continue;
        TCube& cube = FCubes[i];
        // As Add counts: a cube stops at the library's 32 bits, keeping the mean of what it has.
        const uint32_t counted = std::min(from.Count, UINT32_MAX - cube.Count);
        const double share = static_cast<double>(counted) / static_cast<double>(from.Count);
        cube.R += counted == from.Count ? from.R : static_cast<uint64_t>(from.R * share);
        cube.G += counted == from.Count ? from.G : static_cast<uint64_t>(from.G * share);
        cube.B += counted == from.Count ? from.B : static_cast<uint64_t>(from.B * share);
        cube.Count += counted;
    }
    FExact.Merge(other.FExact);
    FAdded += other.FAdded;
    FNeighbours += other.FNeighbours;
    FFlatNeighbours += other.FFlatNeighbours;
}

TWeightedColours TPaletteBuilder::Colours() const {
    TWeightedColours colors;
    if (Exact()) {
        colors.reserve(static_cast<size_t>(FExact.Distinct()));
        FExact.ForEach([&](int r, int g, int b, uint32_t count) {
            colors.emplace_back(qRgb(r, g, b), count);
        });
        // In the order of the colours, not of where the table keeps them (which depends on the
        // order they came in): builders merged in any order choose the same palette.
        std::sort(colors.begin(), colors.end());
        return colors;
    }
    for (const TCube& cube : FCubes) {
        if (cube.Count == 0)
            continue;
        const uint64_t half = cube.Count / 2;
        colors.emplace_back(qRgb(static_cast<int>((cube.R + half) / cube.Count),
                                 static_cast<int>((cube.G + half) / cube.Count),
                                 static_cast<int>((cube.B + half) / cube.Count)),
                            cube.Count);
    }
    return colors;
}

QVector<QRgb> TPaletteBuilder::Build(const std::atomic<bool>* cancel) {
    if (FAdded == 0)
        return {};
    return Search(Colours(), FMaxColors, FSpeed, cancel);
}

QVector<QRgb> TPaletteBuilder::Search(const TWeightedColours& weighted, int maxColors, int speed,
                                      const std::atomic<bool>* cancel) {
    QVector<QRgb> colors;
    if (weighted.empty())
        return colors;
    std::vector<liq_histogram_entry> entries;
    for (const auto& [color, count] : weighted)
        entries.push_back({liq_color{static_cast<unsigned char>(qRed(color)),
                                     static_cast<unsigned char>(qGreen(color)),
                                     static_cast<unsigned char>(qBlue(color)), 255},
                           count});
    // The library's search runs on one thread. Its parallel loops wait for each other by
    // spinning: with other work on the machine, two threads took three times as long as one
    // (0.6 s instead of 0.2 s on a 250-frame histogram), and even waiting without spinning they
    // were no faster. The search is a small part of making a GIF.
    omp_set_num_threads(1);
    const imagequant::TAttrPtr attr(liq_attr_create());
    if (!attr)
        return colors;
    liq_set_max_colors(attr.get(), std::clamp(maxColors, 2, 256));
    liq_set_speed(attr.get(), std::clamp(speed, 1, 10));
    if (cancel) // the library only reads the flag, through its untyped pointer
        liq_attr_set_progress_callback(attr.get(), GoOnSearching,
                                       const_cast<std::atomic<bool>*>(cancel));
    const imagequant::THistogramPtr histogram(liq_histogram_create(attr.get()));
    if (!histogram || liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(),
                                               static_cast<int>(entries.size()), 0) != LIQ_OK)
        return colors;
    liq_result* quantized = nullptr;
    if (liq_histogram_quantize(histogram.get(), attr.get(), &quantized) != LIQ_OK || !quantized)
        return colors;
    const imagequant::TResultPtr result(quantized);
    const liq_palette* palette = liq_get_palette(result.get());
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color& c = palette->entries[i];
        colors.append(qRgb(c.r, c.g, c.b));
    }
    return colors;
}

namespace {
constexpr int cellBits = 4; // colour cubes of 16 × 16 × 16
constexpr int cellsPerAxis = 256 >> cellBits;

int Square(int v) {
    return v * v;
}
// Squared distance from a value to the nearest and the farthest end of [low, high].
int NearSquare(int v, int low, int high) {
    return v < low ? Square(low - v) : v > high ? Square(v - high) : 0;
}
int FarSquare(int v, int low, int high) {
    return Square(std::max(v - low, high - v));
}
} // namespace

TRemapper::TRemapper(const QVector<QRgb>& palette, int transparentIndex, float dither)
    : FPalette(palette), FTransparent(transparentIndex),
      FDither(static_cast<int>(std::lround(std::clamp(dither, 0.0f, 1.0f) * 256))) {
    if (palette.isEmpty() || palette.size() > 256)
        return;
    for (int i = 0; i < palette.size(); ++i) {
        if (i == transparentIndex) {
            FPalette[i] = qRgba(0, 0, 0, 0);
            continue;
        }
        const QRgb c = palette[i];
        FPalette[i] = qRgba(qRed(c), qGreen(c), qBlue(c), 255);
        FEntries.push_back({qRed(c), qGreen(c), qBlue(c), i});
    }
    if (FEntries.empty())
        return;
    const size_t cells = static_cast<size_t>(cellsPerAxis) * cellsPerAxis * cellsPerAxis;
    FCells = std::make_unique<std::atomic<const TCandidate*>[]>(cells);
    FCellCandidates.resize(cells);
    // Every place starts empty (tag 0); one place more, as eight places are read four bytes at
    // a time.
    FKnown = std::make_unique<std::atomic<uint16_t>[]>((size_t{1} << (3 * knownBits)) + 1);
}

TRemapper::~TRemapper() = default;

const TRemapper::TCandidate* TRemapper::FindCandidates(int cell) {
    // The entries that can be nearest to some colour in the cube: those whose nearest point of the
    // cube is no further than the best entry's farthest point. Kept in order of that nearest
    // distance, so a search can stop early.
    const std::lock_guard lock(FCellMutex);
    std::atomic<const TCandidate*>& published = FCells[static_cast<size_t>(cell)];
    if (const TCandidate* found = published.load(std::memory_order_acquire))
        return found; // another thread found them meanwhile
    const int lowR = (cell >> (2 * (8 - cellBits))) << cellBits;
    const int lowG = ((cell >> (8 - cellBits)) & (cellsPerAxis - 1)) << cellBits;
    const int lowB = (cell & (cellsPerAxis - 1)) << cellBits;
    const int side = (1 << cellBits) - 1;
    int bestFar = INT_MAX;
    for (const TEntry& e : FEntries)
        bestFar = std::min(bestFar, FarSquare(e.R, lowR, lowR + side) +
                                        FarSquare(e.G, lowG, lowG + side) +
                                        FarSquare(e.B, lowB, lowB + side));
    std::vector<std::pair<int, int>> found;
    for (size_t i = 0; i < FEntries.size(); ++i) {
        const TEntry& e = FEntries[i];
        const int nearD = NearSquare(e.R, lowR, lowR + side) + NearSquare(e.G, lowG, lowG + side) +
                          NearSquare(e.B, lowB, lowB + side);
        if (nearD <= bestFar)
            found.emplace_back(nearD, static_cast<int>(i));
    }
    std::sort(found.begin(), found.end());
    std::vector<TCandidate>& candidates = FCellCandidates[static_cast<size_t>(cell)];
    candidates.reserve(found.size() + 1);
    for (const auto& [nearD, entry] : found) {
        const TEntry& e = FEntries[static_cast<size_t>(entry)];
        candidates.push_back({nearD, static_cast<uint8_t>(e.R), static_cast<uint8_t>(e.G),
                              static_cast<uint8_t>(e.B), static_cast<uint8_t>(e.Index)});
    }
    candidates.push_back({INT_MAX, 0, 0, 0, 0});
    published.store(candidates.data(), std::memory_order_release);
    return candidates.data();
}

const TRemapper::TCandidate* TRemapper::CandidatesOf(int cell) {
    const TCandidate* candidates =
        FCells[static_cast<size_t>(cell)].load(std::memory_order_acquire);
    return candidates ? candidates : FindCandidates(cell);
}

int TRemapper::Search(int r, int g, int b, uint32_t key) {
    const int cell = ((r >> cellBits) << (2 * (8 - cellBits))) |
                     ((g >> cellBits) << (8 - cellBits)) | (b >> cellBits);
    // The list ends with a distance no search reaches: the first candidate always makes the
    // best distance smaller than that.
    int best = -1, bestDistance = INT_MAX;
    for (const TCandidate* c = CandidatesOf(cell); c->Near <= bestDistance; ++c) {
        const int d = Square(r - c->R) + Square(g - c->G) + Square(b - c->B);
        if (d < bestDistance) {
            bestDistance = d;
            best = c->Index;
        }
    }
    FKnown[static_cast<size_t>(KnownSlot(key))].store(
        static_cast<uint16_t>((KnownTag(key) << 8) | static_cast<uint32_t>(best)),
        std::memory_order_relaxed);
    return best;
}

bool TRemapper::Remap(const uchar* rgba, int width, int height, int bytesPerLine, uchar* indices,
                      const uchar* shown, int shownBytesPerLine, int keepDistance) {
    if (!IsValid() || width <= 0 || height <= 0)
        return false;
    if (FDither > 0)
        return RemapDiffused(rgba, width, height, bytesPerLine, indices, shown, shownBytesPerLine,
                             keepDistance);
    if (!FPool)
        return RemapRows(rgba, width, 0, height, bytesPerLine, indices, shown, shownBytesPerLine,
                         keepDistance);
    FPool->ForRows(height, TWorkPool::ChunkRowsFor(width), [&](int begin, int end) {
        (void)RemapRows(rgba, width, begin, end, bytesPerLine, indices, shown, shownBytesPerLine,
                        keepDistance);
    });
    return true;
}

void TRemapper::NearestOf(const uchar* rgb, qsizetype count, uchar* nearest) {
    if (!IsValid())
        return;
    // Runs of one colour (flat areas) are looked up once.
    uint32_t lastKey = UINT32_MAX;
    uchar index = 0;
    for (qsizetype i = 0; i < count; ++i, rgb += 3) {
        const uint32_t key = (static_cast<uint32_t>(rgb[0]) << 16) |
                             (static_cast<uint32_t>(rgb[1]) << 8) | static_cast<uint32_t>(rgb[2]);
        if (key != lastKey) {
            index = static_cast<uchar>(Nearest(rgb[0], rgb[1], rgb[2]));
            lastKey = key;
        }
        nearest[i] = index;
    }
}

bool TRemapper::RemapRows(const uchar* rgba, int width, int begin, int end, int bytesPerLine,
                          uchar* indices, const uchar* shown, int shownBytesPerLine,
                          int keepDistance, const uchar* nearest, int nearestPerLine) {
    if (!IsValid() || FDither > 0 || width <= 0)
        return false;
    const bool keep = shown && FTransparent >= 0;
    const uchar clear = static_cast<uchar>(std::max(FTransparent, 0));
    for (int y = begin; y < end; ++y) {
        const uchar* in = rgba + static_cast<qsizetype>(y) * bytesPerLine;
        const uchar* seen = keep ? shown + static_cast<qsizetype>(y) * shownBytesPerLine : nullptr;
        uchar* out = indices + static_cast<qsizetype>(y) * width;
        const uchar* found =
            nearest ? nearest + static_cast<qsizetype>(y) * nearestPerLine : nullptr;
        const int start =
            !found && CpuHasAvx2() ? RemapRowAvx2(in, seen, width, out, keepDistance) : 0;
        // Runs of one colour (flat areas) are looked up once.
        uint32_t lastKey = UINT32_MAX;
        int index = 0;
        for (int x = start; x < width; ++x) {
            const uchar* p = in + x * 4;
            if (p[3] == 0) {
                out[x] = clear;
                continue;
            }
            const int r = p[0], g = p[1], b = p[2];
            if (found) {
                index = found[x];
            } else {
                const uint32_t key = (static_cast<uint32_t>(r) << 16) |
                                     (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
                if (key != lastKey) {
                    index = Nearest(r, g, b);
                    lastKey = key;
                }
            }
            if (keep) {
                const uchar* s = seen + x * 3;
                const QRgb chosen = FPalette.at(index); // read only: shared by threads
                const int shownDistance = Square(r - s[0]) + Square(g - s[1]) + Square(b - s[2]);
                const int nearDistance = Square(r - qRed(chosen)) + Square(g - qGreen(chosen)) +
                                         Square(b - qBlue(chosen));
                if (shownDistance <= nearDistance + keepDistance) {
                    out[x] = static_cast<uchar>(FTransparent);
                    continue;
                }
            }
            out[x] = static_cast<uchar>(index);
        }
    }
    return true;
}

bool TRemapper::RemapDiffused(const uchar* rgba, int width, int height, int bytesPerLine,
                              uchar* indices, const uchar* shown, int shownBytesPerLine,
                              int keepDistance) {
    // Error diffusion (Floyd and Steinberg's weights in sixteenths), along every other row from
    // the right, so the error does not pile up on one side. Errors of this row and the next, with
    // a spare pixel at each end.
    const size_t rowLength = (static_cast<size_t>(width) + 2) * 3;
    FErrors.assign(rowLength * 2, 0);
    int* current = FErrors.data();
    int* next = FErrors.data() + rowLength;
    const bool keep = shown && FTransparent >= 0;
    for (int y = 0; y < height; ++y) {
        const uchar* in = rgba + static_cast<qsizetype>(y) * bytesPerLine;
        const uchar* seen = keep ? shown + static_cast<qsizetype>(y) * shownBytesPerLine : nullptr;
        uchar* out = indices + static_cast<qsizetype>(y) * width;
        const bool forward = (y & 1) == 0;
        const int step = forward ? 1 : -1;
        std::fill(next, next + rowLength, 0);
        for (int i = 0; i < width; ++i) {
            const int x = forward ? i : width - 1 - i;
            const uchar* p = in + x * 4;
            if (p[3] == 0) {
                out[x] = static_cast<uchar>(std::max(FTransparent, 0));
                continue;
            }
            int* e = current + (x + 1) * 3;
            const int r = std::clamp(p[0] + (e[0] + 8) / 16, 0, 255);
            const int g = std::clamp(p[1] + (e[1] + 8) / 16, 0, 255);
            const int b = std::clamp(p[2] + (e[2] + 8) / 16, 0, 255);
            int index = Nearest(r, g, b);
            QRgb chosen = FPalette[index];
            if (keep) {
                const uchar* s = seen + x * 3;
                const int shownDistance = Square(r - s[0]) + Square(g - s[1]) + Square(b - s[2]);
                const int nearDistance = Square(r - qRed(chosen)) + Square(g - qGreen(chosen)) +
                                         Square(b - qBlue(chosen));
                if (shownDistance <= nearDistance + keepDistance) {
                    index = FTransparent;
                    chosen = qRgb(s[0], s[1], s[2]);
                }
            }
            out[x] = static_cast<uchar>(index);
            const int er = (r - qRed(chosen)) * FDither / 256;
            const int eg = (g - qGreen(chosen)) * FDither / 256;
            const int eb = (b - qBlue(chosen)) * FDither / 256;
            int* ahead = current + (x + 1 + step) * 3;
            int* below = next + (x + 1) * 3;
            int* belowAhead = next + (x + 1 + step) * 3;
            int* belowBehind = next + (x + 1 - step) * 3;
            ahead[0] += er * 7, ahead[1] += eg * 7, ahead[2] += eb * 7;
            belowBehind[0] += er * 3, belowBehind[1] += eg * 3, belowBehind[2] += eb * 3;
            below[0] += er * 5, below[1] += eg * 5, below[2] += eb * 5;
            belowAhead[0] += er, belowAhead[1] += eg, belowAhead[2] += eb;
        }
        std::swap(current, next);
    }
    return true;
}
