#include "engine/GifWriter.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

int GifCodeSize(int paletteSize) {
    int bits = 2;
    while ((1 << bits) < paletteSize && bits < 8)
        ++bits;
    return bits;
}

namespace {

// The string table: (prefix code << 8 | next index) → code, in a small open-addressing hash table
// that stays in the processor's nearest caches. At most 4096 codes live at once, so 8192 slots
// keep the probes short.
class TLzwTable {
public:
    TLzwTable() { Clear(); }
    void Clear() { FSlots.fill(empty); }
    // The code of `key`, or -1; `slot` receives where it is or would go.
    int Find(uint32_t key, uint32_t& slot) const {
        slot = (key * 2654435761u) >> (32 - slotBits);
        for (;;) {
            const uint32_t entry = FSlots[slot];
            if (entry == empty)
                return -1;
            if ((entry >> 12) == key)
                return static_cast<int>(entry & 0xFFF);
            slot = (slot + 1) & (slotCount - 1);
        }
    }
    void Insert(uint32_t slot, uint32_t key, int code) {
        FSlots[slot] = (key << 12) | static_cast<uint32_t>(code);
    }

private:
    static constexpr int slotBits = 13;
    static constexpr uint32_t slotCount = 1u << slotBits;
    static constexpr uint32_t empty = 0xFFFFFFFFu; // no key reaches it: keys have 20 bits
    std::array<uint32_t, slotCount> FSlots;
};

class TBitSink {
public:
    explicit TBitSink(std::vector<uchar>& out) : FOut(out) {}
    void Put(int code, int bits) {
        FAccumulator |= static_cast<uint64_t>(code) << FCount;
        FCount += bits;
        while (FCount >= 8) {
            FOut.push_back(static_cast<uchar>(FAccumulator & 0xFF));
            FAccumulator >>= 8;
            FCount -= 8;
        }
    }
    void Flush() {
        if (FCount > 0)
            FOut.push_back(static_cast<uchar>(FAccumulator & 0xFF));
        FAccumulator = 0;
        FCount = 0;
    }
    // The bits another sink wrote (its whole bytes, then what it holds unflushed) after these.
    void Append(const std::vector<uchar>& bytes, const TBitSink& other) {
        for (const uchar byte : bytes)
            Put(byte, 8);
        if (other.FCount > 0)
            Put(static_cast<int>(other.FAccumulator), other.FCount);
    }

private:
    std::vector<uchar>& FOut;
    uint64_t FAccumulator = 0;
    int FCount = 0;
};

constexpr int maxCode = 4095;

} // namespace

namespace {

// The strings that extend a code by one index, for lossy compression to choose from.
struct TLzwChildren {
    std::array<int16_t, 4096> First;
    std::array<int16_t, 4096> Next;
    std::array<uint8_t, 4096> Last; // the index a code's string ends with
    void Clear() { First.fill(-1); }
    void Add(int prefix, int code, int index) {
        Next[static_cast<size_t>(code)] = First[static_cast<size_t>(prefix)];
        First[static_cast<size_t>(prefix)] = static_cast<int16_t>(code);
        Last[static_cast<size_t>(code)] = static_cast<uint8_t>(index);
    }
};

// How far the colour of each index is from what one pixel should look like; INT_MAX for the
// transparent index when it may not stand there.
class TPixelCost {
public:
    TPixelCost(const TLossyChoice& choice, qsizetype i)
        : FWant(choice.Wanted + i * 3), FPalette(choice.Palette),
          FTransparent(choice.TransparentIndex) {
        if (choice.Shown) {
            const uchar* seen = choice.Shown + i * 3;
            FShownCost = Distance(seen[0], seen[1], seen[2]);
        }
    }
    int operator()(int index) const {
        if (index == FTransparent)
            return FShownCost;
        const QRgb c = FPalette[index];
        return Distance(qRed(c), qGreen(c), qBlue(c));
    }

private:
    int Distance(int r, int g, int b) const {
        return (r - FWant[0]) * (r - FWant[0]) + (g - FWant[1]) * (g - FWant[1]) +
               (b - FWant[2]) * (b - FWant[2]);
    }
    const uchar* FWant;
    const QRgb* FPalette;
    int FTransparent;
    int FShownCost = INT_MAX;
};

constexpr int textureActivityLimit = 48;

int64_t Allowance(const TLossyChoice& choice, qsizetype i, qsizetype count) {
    if (choice.Tolerances)
        return choice.Tolerances[i];
    int64_t allowance = choice.Tolerance;
    if (choice.TextureShare > 0 && choice.Width > 0) {
        const qsizetype width = choice.Width, x = i % width;
        const uchar* p = choice.Wanted + i * 3;
        const uchar* right = x + 1 < width ? p + 3 : x > 0 ? p - 3 : p;
        const uchar* below = i + width < count ? p + width * 3 : i >= width ? p - width * 3 : p;
        int activity = 0;
        for (int c = 0; c < 3; ++c)
            activity = std::max({activity, std::abs(p[c] - right[c]), std::abs(p[c] - below[c])});
        // Larger steps are edges rather than texture, and errors along edges show.
        activity = std::min(activity, textureActivityLimit);
        const float extra = choice.TextureShare * static_cast<float>(activity);
        allowance += static_cast<int64_t>(extra * extra);
    }
    return allowance;
}

// The best index other than the pixel's own that continues the string `current`, as the code of
// the longer string; -1 when none looks about as good as the pixel's own index. The best is the
// first of the cheapest; how much worse it may be than the pixel's own index is only worked out
// in full when the part that needs no neighbours does not settle it.
int LossyContinuation(const TLossyChoice& choice, const TLzwChildren& children, qsizetype i,
                      qsizetype count, int current, int pixel) {
    int child = children.First[static_cast<size_t>(current)];
    if (child < 0)
        return -1;
    const TPixelCost cost(choice, i);
    int best = -1, bestCost = INT_MAX;
    for (; child >= 0 && bestCost > 0; child = children.Next[static_cast<size_t>(child)]) {
        const int childCost = cost(children.Last[static_cast<size_t>(child)]);
        if (childCost < bestCost) {
            bestCost = childCost;
            best = child;
        }
    }
    if (bestCost == INT_MAX)
        return -1;
    const int own = cost(pixel);
    const int64_t allowedOwn =
        static_cast<int64_t>(own) + static_cast<int64_t>(static_cast<float>(own) * choice.Relative);
    if (!choice.Tolerances && bestCost <= allowedOwn + choice.Tolerance)
        return best; // the texture's share only adds to that
    return bestCost <= allowedOwn + Allowance(choice, i, count) ? best : -1;
}

// The codes in GIF's data sub-blocks: the minimum code size byte, blocks of at most 255 bytes
// each after its length, and the empty block that ends them.
QByteArray InSubBlocks(const std::vector<uchar>& packed, int codeSize) {
    const qsizetype packedSize = static_cast<qsizetype>(packed.size());
    QByteArray data(packedSize + (packedSize + 254) / 255 + 2, Qt::Uninitialized);
    char* out = data.data();
    *out++ = static_cast<char>(codeSize);
    for (qsizetype offset = 0; offset < packedSize; offset += 255) {
        const qsizetype length = std::min<qsizetype>(255, packedSize - offset);
        *out++ = static_cast<char>(length);
        std::memcpy(out, packed.data() + offset, static_cast<size_t>(length));
        out += length;
    }
    *out = '\0';
    return data;
}

// One part of a compression: the string table, the codes' width and the bits written. The tables
// are the calling thread's own, kept from one part to the next.
class TLzwCompressor {
public:
    TLzwCompressor(int codeSize, const TLossyChoice* lossy, TBitSink& sink)
        : FLossy(lossy), FSink(sink), FCodeSize(codeSize), FClearCode(1 << codeSize),
          FEndCode(FClearCode + 1) {
        thread_local std::unique_ptr<TLzwTable> table;
        thread_local std::unique_ptr<TLzwChildren> children;
        if (!table)
            table = std::make_unique<TLzwTable>();
        if (lossy && !children)
            children = std::make_unique<TLzwChildren>();
        FTable = table.get();
        FChildren = lossy ? children.get() : nullptr;
    }

    // The codes of indices [begin, end) of the `count`, starting with an empty table (the first
    // part writes the clear code that says so; a later one follows a part that ended with it).
    // The last part ends with the end code, the others with a clear code at their width.
    void Compress(uchar* indices, qsizetype begin, qsizetype end, qsizetype count) {
        Restart(begin == 0);
        if (end > begin) {
            int current = indices[begin];
            for (qsizetype i = begin + 1; i < end; ++i)
                current = Extend(indices, i, count, current);
            Output(current);
        }
        Output(end == count ? FEndCode : FClearCode);
    }

private:
    // The string `current` followed by pixel `i`: the longer string when the table (or lossy
    // compression) has it; otherwise `current` is written, the longer string becomes a new code
    // and the pixel starts the next string. Returns the string that goes on.
    int Extend(uchar* indices, qsizetype i, qsizetype count, int current) {
        const int pixel = indices[i];
        const uint32_t key = (static_cast<uint32_t>(current) << 8) | static_cast<uint32_t>(pixel);
        uint32_t slot = 0;
        const int found = FTable->Find(key, slot);
        if (found >= 0)
            return found;
        if (FLossy) {
            const int other = LossyContinuation(*FLossy, *FChildren, i, count, current, pixel);
            if (other >= 0) {
                indices[i] = FChildren->Last[static_cast<size_t>(other)];
                return other;
            }
        }
        Output(current);
        if (FRunningCode >= maxCode) {
            Restart(true);
        } else {
            if (FChildren)
                FChildren->Add(current, FRunningCode, pixel);
            FTable->Insert(slot, key, FRunningCode++);
        }
        return pixel;
    }

    // An empty table, codes one bit wider than the indices; `clear`: after a clear code.
    void Restart(bool clear) {
        if (clear)
            Output(FClearCode);
        FRunningCode = FEndCode + 1;
        FRunningBits = FCodeSize + 1;
        FLimit = 1 << FRunningBits;
        FTable->Clear();
        if (FChildren)
            FChildren->Clear();
    }

    // Writes one code, then widens the codes once the table has outgrown their width. The
    // decoder adds its table entry one code later than we do, which this order matches.
    void Output(int code) {
        FSink.Put(code, FRunningBits);
        if (FRunningCode >= FLimit && code <= maxCode && FRunningBits < 12)
            FLimit = 1 << ++FRunningBits;
    }

    const TLossyChoice* FLossy;
    TLzwTable* FTable = nullptr;
    TLzwChildren* FChildren = nullptr;
    TBitSink& FSink;
    const int FCodeSize, FClearCode, FEndCode;
    int FRunningCode = FEndCode + 1, FRunningBits = FCodeSize + 1, FLimit = 1 << FRunningBits;
};

// Big pictures are compressed in two halves, each with a table of its own, so the halves can be
// compressed at the same time. On filmed pictures the table fills and starts again every few
// thousand codes anyway, so one more fresh start costs next to nothing (0.1 to 0.2 %); on screen
// pictures, whose strings grow long, it costs several per cent.
constexpr qsizetype splitPixels = GifLzwSplitPixels;

QByteArray Compress(uchar* indices, qsizetype count, int codeSize, const TLossyChoice* lossy,
                    const TLzwPartRunner& runner) {
    const int parts = runner && count >= splitPixels ? 2 : 1;
    const qsizetype middle = parts == 2 ? count / 2 : count;
    thread_local std::vector<uchar> packed;
    packed.clear();
    packed.reserve(static_cast<size_t>(count) + 64);
    TBitSink sink(packed);
    std::vector<uchar> secondBytes;
    TBitSink second(secondBytes);
    const auto part = [&](int which) {
        if (which == 0)
            TLzwCompressor(codeSize, lossy, sink).Compress(indices, 0, middle, count);
        else
            TLzwCompressor(codeSize, lossy, second).Compress(indices, middle, count, count);
    };
    if (parts == 2)
        runner(parts, part);
    else
        part(0);
    if (parts == 2)
        sink.Append(secondBytes, second);
    sink.Flush();
    return InSubBlocks(packed, codeSize);
}

} // namespace

QByteArray GifLzwEncode(const uchar* indices, qsizetype count, int codeSize,
                        const TLzwPartRunner& runner) {
    // Without a lossy choice the indices are only read.
    return Compress(const_cast<uchar*>(indices), count, codeSize, nullptr, runner);
}

QByteArray GifLossyLzwEncode(uchar* indices, qsizetype count, int codeSize,
                             const TLossyChoice& choice, const TLzwPartRunner& runner) {
    return Compress(indices, count, codeSize, &choice, runner);
}

namespace {
void PutWord(QByteArray& bytes, int value) {
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>((value >> 8) & 0xFF));
}
} // namespace

bool TGifWriter::Write(const QByteArray& bytes) {
    if (!FOk)
        return false;
    if (FDevice->write(bytes) != bytes.size())
        FOk = false;
    return FOk;
}

bool TGifWriter::WriteHeader(int width, int height, const QVector<QRgb>& palette,
                             std::optional<int> loopCount) {
    const int bits = GifCodeSize(static_cast<int>(palette.size()));
    QByteArray bytes("GIF89a");
    PutWord(bytes, width);
    PutWord(bytes, height);
    // Global colour table present, colour resolution 8 bits, table size 2^bits.
    bytes.append(static_cast<char>(0x80 | (7 << 4) | (bits - 1)));
    bytes.append('\0'); // background colour index
    bytes.append('\0'); // square pixels
    for (int i = 0; i < (1 << bits); ++i) {
        const QRgb color = i < palette.size() ? palette[i] : 0;
        bytes.append(static_cast<char>(qRed(color)));
        bytes.append(static_cast<char>(qGreen(color)));
        bytes.append(static_cast<char>(qBlue(color)));
    }
    if (loopCount) {
        bytes.append("\x21\xFF\x0B", 3);
        bytes.append("NETSCAPE2.0");
        bytes.append("\x03\x01", 2);
        PutWord(bytes, std::clamp(*loopCount, 0, 65535));
        bytes.append('\0');
    }
    return Write(bytes);
}

bool TGifWriter::WriteFrame(const TGifFrame& frame) {
    QByteArray bytes;
    bytes.reserve(frame.Data.size() + 32);
    // Graphic control extension: disposal, transparency and delay.
    bytes.append("\x21\xF9\x04", 3);
    const int packed = ((frame.Disposal & 7) << 2) | (frame.TransparentIndex >= 0 ? 1 : 0);
    bytes.append(static_cast<char>(packed));
    PutWord(bytes, std::clamp(frame.DelayCs, 0, 65535));
    bytes.append(static_cast<char>(frame.TransparentIndex >= 0 ? frame.TransparentIndex : 0));
    bytes.append('\0');
    // Image descriptor, with the frame's own colour table when it has one.
    bytes.append('\x2C');
    PutWord(bytes, frame.Rect.x());
    PutWord(bytes, frame.Rect.y());
    PutWord(bytes, frame.Rect.width());
    PutWord(bytes, frame.Rect.height());
    if (frame.LocalPalette.isEmpty()) {
        bytes.append('\0');
    } else {
        const int bits = GifCodeSize(static_cast<int>(frame.LocalPalette.size()));
        bytes.append(static_cast<char>(0x80 | (bits - 1)));
        for (int i = 0; i < (1 << bits); ++i) {
            const QRgb color = i < frame.LocalPalette.size() ? frame.LocalPalette[i] : 0;
            bytes.append(static_cast<char>(qRed(color)));
            bytes.append(static_cast<char>(qGreen(color)));
            bytes.append(static_cast<char>(qBlue(color)));
        }
    }
    bytes.append(frame.Data);
    return Write(bytes);
}

bool TGifWriter::WriteTrailer() {
    return Write(QByteArray(1, '\x3B'));
}
