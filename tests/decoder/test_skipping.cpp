// Frames left undecoded: which packets hold pictures nothing is predicted from, and that leaving
// them out changes none of the other pictures, nor what a locate finds.

#include "DecoderTestUtils.h"
#include "FixtureList.h"
#include "decoder/DisposablePackets.h"

#include <QFile>
#include <gtest/gtest.h>
#include <map>
#include <set>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

using TBytes = std::vector<uint8_t>;

// NAL units with 4-byte lengths, as MP4 stores them.
TBytes LengthPrefixed(const std::vector<TBytes>& units) {
    TBytes packet;
    for (const TBytes& unit : units) {
        const size_t n = unit.size();
        packet.insert(packet.end(),
                      {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
        packet.insert(packet.end(), unit.begin(), unit.end());
    }
    return packet;
}

// NAL units after start codes, as transport streams carry them.
TBytes StartCoded(const std::vector<TBytes>& units) {
    TBytes packet;
    for (const TBytes& unit : units) {
        packet.insert(packet.end(), {0, 0, 0, 1});
        packet.insert(packet.end(), unit.begin(), unit.end());
    }
    return packet;
}

TDisposablePackets Classifier(AVCodecID codec, TBytes extradata) {
    AVCodecParameters* parameters = avcodec_parameters_alloc();
    parameters->codec_id = codec;
    if (!extradata.empty()) {
        parameters->extradata =
            static_cast<uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        std::copy(extradata.begin(), extradata.end(), parameters->extradata);
        parameters->extradata_size = static_cast<int>(extradata.size());
    }
    TDisposablePackets classifier;
    classifier.Setup(parameters);
    avcodec_parameters_free(&parameters);
    return classifier;
}

bool Disposable(const TDisposablePackets& classifier, const TBytes& packet) {
    return classifier.Disposable(packet.data(), static_cast<int>(packet.size()));
}

// An hvcC record: `layers` temporal layers (0: unknown), 4-byte lengths, and these NAL units in
// one array each.
TBytes Hvcc(int layers, const std::vector<TBytes>& units = {}) {
    TBytes record(23, 0);
    record[0] = 1;
    record[21] = static_cast<uint8_t>((layers << 3) | 0x03);
    record[22] = static_cast<uint8_t>(units.size());
    for (const TBytes& unit : units) {
        record.insert(record.end(), {uint8_t(unit[0] >> 1), 0, 1});
        record.insert(record.end(), {uint8_t(unit.size() >> 8), uint8_t(unit.size())});
        record.insert(record.end(), unit.begin(), unit.end());
    }
    return record;
}

// An HEVC NAL header of `type` at temporal sub-layer `temporalId`, and a byte of payload.
TBytes HevcNal(int type, int temporalId) {
    return {uint8_t(type << 1), uint8_t(temporalId + 1), 0xAF};
}

} // namespace

TEST(DisposablePackets, ReadsTheReferenceMarksOfH264AndHevcPackets) {
    // H.264: nal_ref_idc in bits 5-6 of the header; slices (1), IDR slices (5), SEI (6).
    const TBytes nonReference = {0x01, 0x9A}, reference = {0x41, 0x9A}, idr = {0x65, 0x88},
                 sei = {0x06, 0x05}, delimiter = {0x09, 0xF0};
    const TDisposablePackets mp4 =
        Classifier(AV_CODEC_ID_H264, {1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 0});
    EXPECT_TRUE(Disposable(mp4, LengthPrefixed({sei, nonReference})));
    EXPECT_TRUE(Disposable(mp4, LengthPrefixed({nonReference, nonReference})));
    EXPECT_FALSE(Disposable(mp4, LengthPrefixed({nonReference, reference}))); // a field pair
    EXPECT_FALSE(Disposable(mp4, LengthPrefixed({idr})));
    EXPECT_FALSE(Disposable(mp4, LengthPrefixed({sei})));      // no picture at all
    EXPECT_FALSE(Disposable(mp4, StartCoded({nonReference}))); // framed wrongly
    TBytes cut = LengthPrefixed({nonReference});
    cut[3] = 9; // a length beyond the packet
    EXPECT_FALSE(Disposable(mp4, cut));
    const TDisposablePackets ts = Classifier(AV_CODEC_ID_H264, {});
    EXPECT_TRUE(Disposable(ts, StartCoded({delimiter, nonReference})));
    EXPECT_FALSE(Disposable(ts, StartCoded({delimiter, reference})));
    EXPECT_FALSE(Disposable(ts, TBytes{0x01, 0x9A})); // no start code

    // HEVC: sub-layer non-reference types (even, up to 14) only on the highest sub-layer.
    const TDisposablePackets single = Classifier(AV_CODEC_ID_HEVC, Hvcc(1));
    EXPECT_TRUE(Disposable(single, LengthPrefixed({HevcNal(0, 0)})));   // TRAIL_N
    EXPECT_TRUE(Disposable(single, LengthPrefixed({HevcNal(8, 0)})));   // RASL_N
    EXPECT_FALSE(Disposable(single, LengthPrefixed({HevcNal(1, 0)})));  // TRAIL_R
    EXPECT_FALSE(Disposable(single, LengthPrefixed({HevcNal(19, 0)}))); // IDR
    // Two sub-layers, known from the sequence parameter set: a non-reference picture of the lower
    // one may be the reference of the higher one.
    const TBytes sps = {0x42, 0x01, 0x01 << 1 | 0x01, 0x60};
    const TDisposablePackets layered = Classifier(AV_CODEC_ID_HEVC, Hvcc(0, {sps}));
    EXPECT_FALSE(Disposable(layered, LengthPrefixed({HevcNal(0, 0)})));
    EXPECT_TRUE(Disposable(layered, LengthPrefixed({HevcNal(0, 1)})));
    // Unknown layers: nothing goes.
    EXPECT_FALSE(
        Disposable(Classifier(AV_CODEC_ID_HEVC, Hvcc(0)), LengthPrefixed({HevcNal(0, 0)})));

    // Other codecs only by the container's mark.
    const TDisposablePackets vp9 = Classifier(AV_CODEC_ID_VP9, {});
    EXPECT_FALSE(Disposable(vp9, LengthPrefixed({nonReference})));
    AVPacket* packet = av_packet_alloc();
    ASSERT_EQ(av_new_packet(packet, 4), 0);
    EXPECT_FALSE(vp9.Disposable(packet));
    packet->flags |= AV_PKT_FLAG_DISPOSABLE;
    EXPECT_TRUE(vp9.Disposable(packet));
    av_packet_free(&packet);
}

namespace {

// How many frames FFmpeg's decoder makes of the file, decoding all or skipping the pictures it
// finds nothing is predicted from; and how many packets the classifier calls disposable.
struct TCounts {
    int All = 0, WithoutNonReference = 0, Disposable = 0;
};

int DecodedFrames(const QString& path, AVDiscard skip, int* disposable) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return -1;
    avformat_find_stream_info(format, nullptr);
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodecParameters* parameters = format->streams[stream]->codecpar;
    AVCodecContext* codec = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
    avcodec_parameters_to_context(codec, parameters);
    codec->skip_frame = skip;
    codec->thread_count = 1;
    avcodec_open2(codec, nullptr, nullptr);
    TDisposablePackets classifier;
    classifier.Setup(parameters);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int frames = 0;
    const auto drain = [&] {
        while (avcodec_receive_frame(codec, frame) >= 0)
            ++frames;
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream) {
            if (disposable && classifier.Disposable(packet))
                ++*disposable;
            avcodec_send_packet(codec, packet);
            drain();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(codec, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return frames;
}

TCounts Count(const QString& path) {
    TCounts counts;
    counts.All = DecodedFrames(path, AVDISCARD_DEFAULT, &counts.Disposable);
    counts.WithoutNonReference = DecodedFrames(path, AVDISCARD_NONREF, nullptr);
    return counts;
}

// Streams with pictures nothing is predicted from: H.264 with B-frames in MP4 (lengths), in a
// transport stream (start codes) and at a variable rate in Matroska; HEVC in MP4.
const std::vector<QString>& StreamsWithDisposablePictures() {
    static const std::vector<QString> paths = {
        FixtureFile(QStringLiteral("h264-bframes-320x240-25fps.mp4")),
        FixtureFile(QStringLiteral("h264-start10s-256x144-29.97fps.ts")),
        FixtureFile(QStringLiteral("h264-vfr-320x240.mkv")),
        MediaFile(QStringLiteral("bear-hevc-main10-hdr10-640x360.mp4")),
        MediaFile(QStringLiteral("bear-h264-1280x720.mp4"))};
    return paths;
}

} // namespace

TEST(DisposablePackets, AreThePicturesTheCodecItselfCanSkip) {
    for (const QString& path : StreamsWithDisposablePictures()) {
        const TCounts counts = Count(path);
        ASSERT_GT(counts.All, 0) << path.toStdString();
        EXPECT_GT(counts.Disposable, 0) << path.toStdString();
        EXPECT_EQ(counts.Disposable, counts.All - counts.WithoutNonReference) << path.toStdString();
    }
    // A stream without B-frames has none.
    EXPECT_EQ(Count(FixtureFile(QStringLiteral("vp9-256x144-30fps.webm"))).Disposable, 0);
}

TEST(SkippingFrames, LeavesOutOnlyUnwantedFramesAndTheOthersStayTheSame) {
    for (const QString& path : StreamsWithDisposablePictures()) {
        SCOPED_TRACE(path.toStdString());
        TFFDecoder decoder;
        ASSERT_TRUE(decoder.LoadFile(path));
        const std::vector<TDecodedFrame> truth = DecodeAll(decoder, false);
        std::set<int64_t> wanted;
        std::map<int64_t, uint64_t> digestAt;
        for (size_t i = 0; i < truth.size(); ++i) {
            digestAt[truth[i].Pts] = truth[i].Digest;
            if (i % 3 == 0)
                wanted.insert(truth[i].Pts);
        }
        ASSERT_TRUE(decoder.LoadFile(path));
        decoder.SkipUnwantedFrames([&](int64_t pts) { return wanted.count(pts) > 0; });
        const std::vector<TDecodedFrame> kept = DecodeAll(decoder, false);
        EXPECT_GT(decoder.FramesLeftUndecoded(), 0);
        EXPECT_EQ(kept.size() + static_cast<size_t>(decoder.FramesLeftUndecoded()), truth.size());
        std::set<int64_t> keptTimes;
        for (const TDecodedFrame& frame : kept) {
            ASSERT_EQ(digestAt.count(frame.Pts), 1u) << frame.Pts;
            EXPECT_EQ(frame.Digest, digestAt[frame.Pts]) << frame.Pts;
            keptTimes.insert(frame.Pts);
        }
        for (int64_t pts : wanted)
            EXPECT_EQ(keptTimes.count(pts), 1u) << pts;

        // A locate decodes every frame: an unwanted one is found all the same.
        const auto unwanted = std::find_if(truth.rbegin(), truth.rend(), [&](const auto& frame) {
            return keptTimes.count(frame.Pts) == 0;
        });
        ASSERT_NE(unwanted, truth.rend());
        ASSERT_TRUE(decoder.LocateVideoPTS(unwanted->Pts));
        EXPECT_EQ(decoder.CurrentPTS(), unwanted->Pts);
        QImage picture;
        ASSERT_TRUE(decoder.CopyToBitmap(picture));
        EXPECT_EQ(PictureDigest(picture), unwanted->Digest);
    }
}

// Interlaced pictures are deinterlaced from their neighbours, so leaving one out would change the
// pictures around it: a stream with interlaced pictures and disposable B-frames (20 of 50) gives
// every frame, wanted or not, and every picture as a full decode does.
TEST(SkippingFrames, InterlacedPicturesAreAllDecodedAndStayTheSame) {
    const QString path = FixtureFile(QString::fromUtf8(fixture::InterlacedH264FileName));
    ASSERT_GT(Count(path).Disposable, 0);
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(path));
    const std::vector<TDecodedFrame> truth = DecodeAll(decoder, false);
    ASSERT_EQ(truth.size(), static_cast<size_t>(fixture::InterlacedFrames));
    std::set<int64_t> wanted;
    for (size_t i = 0; i < truth.size(); i += 3)
        wanted.insert(truth[i].Pts);
    ASSERT_TRUE(decoder.LoadFile(path));
    decoder.SkipUnwantedFrames([&](int64_t pts) { return wanted.count(pts) > 0; });
    const std::vector<TDecodedFrame> kept = DecodeAll(decoder, false);
    EXPECT_EQ(decoder.FramesLeftUndecoded(), 0);
    ASSERT_EQ(kept.size(), truth.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i].Pts, truth[i].Pts) << i;
        EXPECT_EQ(kept[i].Digest, truth[i].Digest) << i;
    }
}
