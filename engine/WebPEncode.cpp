// Animated WebP through libwebp's animation encoder: each picture lossy at the quality's WebP
// quality, the encoder's own frame differencing keeping what did not change, exact times in
// milliseconds and the GIF's replay count.

#include "engine/OutputEncode.h"

#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <memory>

namespace {

// Our quality's WebP quality: the default (90) lands where a WebP of filmed content holds a clip
// about as faithfully as our GIF does (SSIM within 0.002 on the bench's film clips, at 0.55 of the
// GIF's size); 100 is WebP's best lossy.
float WebPQuality(int quality) {
    constexpr float AtDefault = 82.5f;
    if (quality >= DefaultGifQuality)
        return AtDefault + (100.0f - AtDefault) * static_cast<float>(quality - DefaultGifQuality) /
                               static_cast<float>(100 - DefaultGifQuality);
    return AtDefault * static_cast<float>(quality) / static_cast<float>(DefaultGifQuality);
}

// WebP's "replay" is the number of times it plays (0: forever); ours how often it plays again.
int WebPLoopCount(const std::optional<int>& loopCount) {
    if (!loopCount)
        return 1;
    return *loopCount == 0 ? 0 : std::min(65535, *loopCount + 1);
}

struct TAnimEncoderFree {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
};
struct TPictureFree {
    void operator()(WebPPicture* picture) const {
        WebPPictureFree(picture);
        delete picture;
    }
};

// Per position of the sequence, the bytes of the pictures up to it (TEncoded), read from the
// file's frames: the encoder merges pictures that do not change, so each frame is placed by the
// time it appears.
std::vector<qint64> BytesAfterPosition(const WebPData& data, const TGifSequence& sequence) {
    std::vector<qint64> after(sequence.Frames.size(), 0);
    WebPDemuxer* demuxer = WebPDemux(&data);
    WebPIterator frame;
    if (!demuxer || after.empty() || sequence.PeriodCs <= 0 ||
        !WebPDemuxGetFrame(demuxer, 1, &frame)) {
        WebPDemuxDelete(demuxer);
        return {};
    }
    int64_t startMs = 0;
    do {
        const auto position = static_cast<size_t>(std::clamp<int64_t>(
            std::llround(static_cast<double>(startMs) / (sequence.PeriodCs * 10.0)), 0,
            static_cast<int64_t>(after.size()) - 1));
        after[position] += static_cast<qint64>(frame.fragment.size);
        startMs += frame.duration;
    } while (WebPDemuxNextFrame(&frame));
    WebPDemuxReleaseIterator(&frame);
    WebPDemuxDelete(demuxer);
    for (size_t i = 1; i < after.size(); ++i)
        after[i] += after[i - 1];
    return after;
}

} // namespace

QString CheckFormatSize(TOutputFormat format, const QSize& size) {
    if (format != TOutputFormat::WebP ||
        (size.width() <= WEBP_MAX_DIMENSION && size.height() <= WEBP_MAX_DIMENSION))
        return {};
    return QStringLiteral("A WebP picture is at most %1 pixels a side; %2 × %3 is too large. "
                          "Choose a smaller size.")
        .arg(WEBP_MAX_DIMENSION)
        .arg(size.width())
        .arg(size.height());
}

TStop MakeWebP(const TConversionContext& context, const TPreparedFrames& frames,
               const TGifSequence& sequence, int quality, QIODevice& device, TEncoded& encoded) {
    const int width = sequence.Size.width(), height = sequence.Size.height();
    if (const QString limit = CheckFormatSize(TOutputFormat::WebP, sequence.Size); !limit.isEmpty())
        return Failure(limit);
    WebPAnimEncoderOptions options;
    WebPConfig config;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config))
        return EncoderFailure(TOutputFormat::WebP, QStringLiteral("libwebp is not the version "
                                                                  "the program was built with."));
    options.anim_params.loop_count = WebPLoopCount(context.Plan.LoopCount);
    // No key frames on the way: a viewer plays the animation from its start, and each key frame
    // candidate is a second encoding of the picture.
    options.kmin = 0;
    options.kmax = 0;
    config.quality = WebPQuality(quality);
    config.method = 2;
    config.thread_level = 1;
    std::unique_ptr<WebPAnimEncoder, TAnimEncoderFree> encoder(
        WebPAnimEncoderNew(width, height, &options));
    std::unique_ptr<WebPPicture, TPictureFree> picture(new WebPPicture);
    if (!encoder || !WebPPictureInit(picture.get()))
        return EncoderFailure(TOutputFormat::WebP, QStringLiteral("out of memory."));
    picture->width = width;
    picture->height = height;
    picture->use_argb = 1;
    int64_t endMs = 0;
    if (TStop stop =
            ForEachShownFrame(context, frames, sequence, [&](const TShownFrame& shown) -> TStop {
                if (!WebPPictureImportRGB(picture.get(), shown.Rgb, width * 3) ||
                    !WebPAnimEncoderAdd(encoder.get(), picture.get(),
                                        static_cast<int>(shown.StartMs), &config))
                    return EncoderFailure(
                        TOutputFormat::WebP,
                        QString::fromUtf8(WebPAnimEncoderGetError(encoder.get())));
                endMs = shown.EndMs;
                ++encoded.Images;
                return {};
            }))
        return stop;
    WebPData data;
    WebPDataInit(&data);
    const bool made =
        WebPAnimEncoderAdd(encoder.get(), nullptr, static_cast<int>(endMs), nullptr) &&
        WebPAnimEncoderAssemble(encoder.get(), &data);
    if (made)
        encoded.BytesAfterPosition = BytesAfterPosition(data, sequence);
    const QByteArray bytes = made ? QByteArray(reinterpret_cast<const char*>(data.bytes),
                                               static_cast<qsizetype>(data.size))
                                  : QByteArray();
    WebPDataClear(&data);
    if (!made)
        return EncoderFailure(TOutputFormat::WebP,
                              QString::fromUtf8(WebPAnimEncoderGetError(encoder.get())));
    if (device.write(bytes) != bytes.size())
        return WriteFailure(context, device);
    return {};
}
