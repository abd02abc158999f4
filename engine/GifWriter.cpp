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

// Codes packed into bytes, lowest bits first, four bytes at a time. The caller gives a buffer big
// enough for every code the part may write (see CodeBytesBound); the sink lives in the
// compressor's registers while it runs.
class TBitSink {
public:
    explicit TBitSink(uchar* out) : FPos(out) {}
    void Put(uint32_t code, int bits) {
        FAccumulator |= static_cast<uint64_t>(code) << FCount;
        FCount += bits;
        if (FCount >= 32) {
            const auto word = static_cast<uint32_t>(FAccumulator);
            FPos[0] = static_cast<uchar>(word);
            FPos[1] = static_cast<uchar>(word >> 8);
            FPos[2] = static_cast<uchar>(word >> 16);
            FPos[3] = static_cast<uchar>(word >> 24);
            FPos += 4;
            FAccumulator >>= 32;
            FCount -= 32;
        }
    }
    // Writes the bits still held (the last byte padded with zeros); returns the end of the bytes.
    uchar* Flush() {
        for (; FCount > 0; FCount -= 8, FAccumulator >>= 8)
            *FPos++ = static_cast<uchar>(FAccumulator & 0xFF);
        FCount = 0;
        FAccumulator = 0;
        return FPos;
    }
    // The bits another sink wrote (its whole bytes from `begin`, then what it holds unflushed)
    // after these.
    void Append(const uchar* begin, const TBitSink& other) {
        for (const uchar* byte = begin; byte < other.FPos; ++byte)
            Put(*byte, 8);
        if (other.FCount > 0)
            Put(static_cast<uint32_t>(other.FAccumulator), other.FCount);
    }

private:
    uchar* FPos;
    uint64_t FAccumulator = 0;
    int FCount = 0;
};

// The most bytes the codes of `pixels` indices can take: one code a pixel at most, a clear code
// each time the table fills (after more than 3000 codes), the first clear code and the end code,
// 12 bits each, and the bytes a sink may still hold.
size_t CodeBytesBound(qsizetype pixels) {
    const auto codes = static_cast<size_t>(pixels) + static_cast<size_t>(pixels) / 3000 + 4;
    return codes * 3 / 2 + 16;
}

// A buffer of at least `size` bytes, kept from one call to the next.
uchar* ScratchBytes(std::vector<uchar>& buffer, size_t size) {
    if (buffer.size() < size)
        buffer.resize(size);
    return buffer.data();
}

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
    if (choice.KeptNoWorse && pixel == choice.TransparentIndex)
        return bestCost <= own ? best : -1;
    const int64_t allowedOwn =
        static_cast<int64_t>(own) + static_cast<int64_t>(static_cast<float>(own) * choice.Relative);
    if (!choice.Tolerances && bestCost <= allowedOwn + choice.Tolerance)
        return best; // the texture's share only adds to that
    return bestCost <= allowedOwn + Allowance(choice, i, count) ? best : -1;
}

// The codes in GIF's data sub-blocks: the minimum code size byte, blocks of at most 255 bytes
// each after its length, and the empty block that ends them.
QByteArray InSubBlocks(const uchar* packed, qsizetype packedSize, int codeSize) {
    QByteArray data(packedSize + (packedSize + 254) / 255 + 2, Qt::Uninitialized);
    char* out = data.data();
    *out++ = static_cast<char>(codeSize);
    for (qsizetype offset = 0; offset < packedSize; offset += 255) {
        const qsizetype length = std::min<qsizetype>(255, packedSize - offset);
        *out++ = static_cast<char>(length);
        std::memcpy(out, packed + offset, static_cast<size_t>(length));
        out += length;
    }
    *out = '\0';
    return data;
}

// One part of a compression: the string table and the codes' width. The tables are the calling
// thread's own, kept from one part to the next.
class TLzwCompressor {
public:
    TLzwCompressor(int codeSize, const TLossyChoice* lossy)
        : FLossy(lossy), FCodeSize(codeSize), FClearCode(1 << codeSize), FEndCode(FClearCode + 1) {
        thread_local std::unique_ptr<TLzwTable> table;
        thread_local std::unique_ptr<TLzwChildren> children;
        if (!table)
            table = std::make_unique<TLzwTable>();
        if (lossy && !children)
            children = std::make_unique<TLzwChildren>();
        FTable = table.get();
        FChildren = lossy ? children.get() : nullptr;
    }

    // The codes of indices [begin, end) of the `count` into `sink`, starting with an empty table
    // (the first part writes the clear code that says so; a later one follows a part that ended
    // with it). The last part ends with the end code, the others with a clear code at their
    // width. Returns the sink as the part leaves it.
    TBitSink Compress(uchar* indices, qsizetype begin, qsizetype end, qsizetype count,
                      TBitSink sink) {
        // A local copy the loop keeps in registers: the stores into the indices (lossy
        // compression changes them) could otherwise change anything the loop reads from memory.
        TCodes codes{sink, FEndCode + 1, FCodeSize + 1, 1 << (FCodeSize + 1)};
        Restart(codes, begin == 0);
        if (end > begin) {
            int current = indices[begin];
            for (qsizetype i = begin + 1; i < end; ++i)
                current = Extend(codes, indices, i, count, current);
            Output(codes, current);
        }
        Output(codes, end == count ? FEndCode : FClearCode);
        return codes.Sink;
    }

private:
    // The code stream: where its bits go, the next free code, the codes' width and the code
    // that widens them.
    struct TCodes {
        TBitSink Sink;
        int RunningCode, RunningBits, Limit;
    };

    // The string `current` followed by pixel `i`: the longer string when the table (or lossy
    // compression) has it; otherwise `current` is written, the longer string becomes a new code
    // and the pixel starts the next string. Returns the string that goes on.
    int Extend(TCodes& codes, uchar* indices, qsizetype i, qsizetype count, int current) {
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
        Output(codes, current);
        if (codes.RunningCode >= maxCode) {
            Restart(codes, true);
        } else {
            if (FChildren)
                FChildren->Add(current, codes.RunningCode, pixel);
            FTable->Insert(slot, key, codes.RunningCode++);
        }
        return pixel;
    }

    // An empty table, codes one bit wider than the indices; `clear`: after a clear code.
    void Restart(TCodes& codes, bool clear) {
        if (clear)
            Output(codes, FClearCode);
        codes.RunningCode = FEndCode + 1;
        codes.RunningBits = FCodeSize + 1;
        codes.Limit = 1 << codes.RunningBits;
        FTable->Clear();
        if (FChildren)
            FChildren->Clear();
    }

    // Writes one code, then widens the codes once the table has outgrown their width. The
    // decoder adds its table entry one code later than we do, which this order matches.
    static void Output(TCodes& codes, int code) {
        codes.Sink.Put(static_cast<uint32_t>(code), codes.RunningBits);
        if (codes.RunningCode >= codes.Limit && code <= maxCode && codes.RunningBits < 12)
            codes.Limit = 1 << ++codes.RunningBits;
    }

    const TLossyChoice* FLossy;
    TLzwTable* FTable = nullptr;
    TLzwChildren* FChildren = nullptr;
    const int FCodeSize, FClearCode, FEndCode;
};

// Bigger pictures are compressed in parts, each with a table of its own, so the parts can be
// compressed at the same time: two, and one more for every further megapixel (up to sixteen), so
// that many threads share the frames of a 4K video. The count follows the picture's size alone:
// the file is the same on any machine. On filmed pictures the table fills and starts again every
// few thousand codes anyway, so one more fresh start costs little (0.1 to 0.3 %); on screen
// pictures, whose strings grow long, it costs several per cent (they are compressed whole).
constexpr qsizetype splitPixels = GifLzwSplitPixels;

int LzwParts(qsizetype count) {
    constexpr qsizetype pixelsPerPart = qsizetype{1} << 20;
    return count < splitPixels
               ? 1
               : static_cast<int>(std::clamp<qsizetype>(count / pixelsPerPart, 2, 16));
}

QByteArray Compress(uchar* indices, qsizetype count, int codeSize, const TLossyChoice* lossy,
                    const TLzwPartRunner& runner) {
    const int parts = runner ? LzwParts(count) : 1;
    const auto begin = [&](int part) { return count * part / parts; };
    // The first part's buffer takes the other parts' bits too.
    thread_local std::vector<std::vector<uchar>> buffers;
    if (buffers.size() < static_cast<size_t>(parts))
        buffers.resize(static_cast<size_t>(parts));
    std::vector<TBitSink> sinks;
    sinks.reserve(static_cast<size_t>(parts));
    for (int part = 0; part < parts; ++part)
        sinks.emplace_back(
            ScratchBytes(buffers[static_cast<size_t>(part)],
                         CodeBytesBound(part == 0 ? count : begin(part + 1) - begin(part))));
    uchar* const first = buffers[0].data();
    const auto compress = [&](int part) {
        sinks[static_cast<size_t>(part)] = TLzwCompressor(codeSize, lossy)
                                               .Compress(indices, begin(part), begin(part + 1),
                                                         count, sinks[static_cast<size_t>(part)]);
    };
    if (parts > 1)
        runner(parts, compress);
    else
        compress(0);
    for (int part = 1; part < parts; ++part)
        sinks[0].Append(buffers[static_cast<size_t>(part)].data(),
                        sinks[static_cast<size_t>(part)]);
    const uchar* const end = sinks[0].Flush();
    return InSubBlocks(first, end - first, codeSize);
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
