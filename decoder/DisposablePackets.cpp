#include "decoder/DisposablePackets.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

// Calls `visit(nal, size)` for each NAL unit of `data`, framed by `lengthSize`-byte big-endian
// lengths or, when `lengthSize` is 0, by start codes (00 00 01); stops early when `visit` returns
// false. False when the framing does not hold together.
template <typename TVisit>
bool ForEachNal(const uint8_t* data, int size, int lengthSize, TVisit visit) {
    if (lengthSize > 0) {
        int at = 0;
        while (at < size) {
            if (size - at < lengthSize)
                return false;
            int64_t length = 0;
            for (int i = 0; i < lengthSize; ++i)
                length = (length << 8) | data[at + i];
            at += lengthSize;
            if (length > size - at)
                return false;
            if (length > 0 && !visit(data + at, static_cast<int>(length)))
                return true;
            at += static_cast<int>(length);
        }
        return true;
    }
    // Inside a NAL unit, 00 00 never comes before 00 to 03 (emulation prevention), so each start
    // code begins a unit, which runs to the next one.
    int start = -1;
    for (int i = 0; i + 2 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        if (start >= 0 && !visit(data + start, i - start))
            return true;
        start = i + 3;
        i += 2;
    }
    if (start >= 0 && start < size)
        visit(data + start, size - start);
    return start >= 0;
}

// The highest temporal sub-layer an HEVC sequence parameter set declares (its
// sps_max_sub_layers_minus1, right after the NAL header), or -1.
int SubLayersOfSps(const uint8_t* nal, int size) {
    constexpr int spsType = 33;
    if (size < 3 || ((nal[0] >> 1) & 0x3F) != spsType)
        return -1;
    return (nal[2] >> 1) & 0x07;
}

// From an hvcC box: the length size, and the highest temporal sub-layer from its count of layers
// or, where that is unknown (0), from the sequence parameter sets it holds.
void ReadHvcc(const uint8_t* data, int size, int& lengthSize, int& highest) {
    constexpr int headerSize = 23;
    if (size < headerSize)
        return;
    lengthSize = (data[21] & 0x03) + 1;
    const int layers = (data[21] >> 3) & 0x07;
    if (layers > 0) {
        highest = layers - 1;
        return;
    }
    int at = headerSize;
    for (int array = 0, arrays = data[22]; array < arrays && at + 3 <= size; ++array) {
        const int units = (data[at + 1] << 8) | data[at + 2];
        at += 3;
        for (int unit = 0; unit < units && at + 2 <= size; ++unit) {
            const int length = (data[at] << 8) | data[at + 1];
            at += 2;
            if (length > size - at)
                return;
            highest = std::max(highest, SubLayersOfSps(data + at, length));
            at += length;
        }
    }
}

} // namespace

void TDisposablePackets::Setup(const AVCodecParameters* parameters) {
    *this = TDisposablePackets();
    if (!parameters)
        return;
    const uint8_t* extra = parameters->extradata;
    const int extraSize = extra ? parameters->extradata_size : 0;
    // An MP4-style configuration record starts with its version, 1; start codes with 0.
    const bool record = extraSize > 0 && extra[0] == 1;
    switch (parameters->codec_id) {
    case AV_CODEC_ID_H264:
        FCodec = TCodec::H264;
        if (record && extraSize >= 7)
            FLengthSize = (extra[4] & 0x03) + 1;
        break;
    case AV_CODEC_ID_HEVC:
        FCodec = TCodec::Hevc;
        if (record) {
            ReadHvcc(extra, extraSize, FLengthSize, FHighestSubLayer);
        } else if (extraSize > 0) {
            ForEachNal(extra, extraSize, 0, [&](const uint8_t* nal, int size) {
                FHighestSubLayer = std::max(FHighestSubLayer, SubLayersOfSps(nal, size));
                return true;
            });
        }
        break;
    default:
        break;
    }
    // A record whose length size makes no sense: nothing is left out.
    if (record && (FLengthSize == 0 || FLengthSize == 3))
        FCodec = TCodec::Other;
}

bool TDisposablePackets::Disposable(const AVPacket* packet) const {
    if (!packet || packet->size <= 0)
        return false;
    if ((packet->flags & AV_PKT_FLAG_DISPOSABLE) != 0)
        return true;
    return Disposable(packet->data, packet->size);
}

bool TDisposablePackets::Disposable(const uint8_t* data, int size) const {
    if (FCodec == TCodec::Other || !data || size <= 0)
        return false;
    bool anySlice = false, anyReference = false;
    const bool framed = ForEachNal(data, size, FLengthSize, [&](const uint8_t* nal, int length) {
        const TNal kind = Classify(nal, length);
        anySlice = anySlice || kind != TNal::NotSlice;
        anyReference = anyReference || kind == TNal::Reference;
        return !anyReference;
    });
    return framed && anySlice && !anyReference;
}

TDisposablePackets::TNal TDisposablePackets::Classify(const uint8_t* nal, int size) const {
    if (size < 1 || (nal[0] & 0x80) != 0)
        return TNal::Reference; // a broken header: keep the picture
    if (FCodec == TCodec::H264) {
        const int type = nal[0] & 0x1F;
        const int referenceIdc = (nal[0] >> 5) & 0x03;
        // Slices (1), data partition A (2) carrying the slice header, IDR slices (5). Other
        // slice kinds (scalable and multiview extensions) count as needed.
        if (type == 1 || type == 2 || type == 5)
            return referenceIdc == 0 && type != 5 ? TNal::NonReference : TNal::Reference;
        if (type == 20 || type == 21)
            return TNal::Reference;
        return TNal::NotSlice;
    }
    if (size < 2)
        return TNal::Reference;
    const int type = (nal[0] >> 1) & 0x3F;
    const int layer = ((nal[0] & 0x01) << 5) | (nal[1] >> 3);
    const int temporalId = (nal[1] & 0x07) - 1;
    constexpr int lastSliceType = 31; // 0 to 31 are pictures' slices (reserved ones included)
    if (type > lastSliceType)
        return TNal::NotSlice;
    // Sub-layer non-reference pictures (the even types up to 14) serve as references only to
    // higher sub-layers: on the highest one, to nothing. Other layers than the base count as
    // needed.
    const bool subLayerNonReference = type <= 14 && type % 2 == 0;
    return subLayerNonReference && layer == 0 && FHighestSubLayer >= 0 &&
                   temporalId == FHighestSubLayer
               ? TNal::NonReference
               : TNal::Reference;
}
