// The pictures of an animated WebP as a viewer shows them, on an even grid of time, as raw
// red-green-blue bytes (rgb24) on standard output, so that ffmpeg (which reads no animated WebP)
// can compare them with a reference:
//
//   vg_bench_webp_frames <file.webp> <fps> | ffmpeg -f rawvideo -pix_fmt rgb24 -s WxH \
//       -framerate <fps> -i - -c:v ffv1 frames.mkv
//   vg_bench_webp_frames --info <file.webp> <fps>     prints "width height frames"
//
// Frame k is the picture showing at time k / fps (a picture shows from the sum of the durations
// before it up to that sum plus its own duration), for every k with k / fps before the end of the
// animation's first play. libwebp's animation decoder composes each picture (blending and
// disposal) on the canvas; pixels that are not opaque are composed over black, and a warning
// on standard error counts them. <fps> is a whole number, a decimal (12.5) or a ratio
// (30000/1001); the grid is exact in every case.

#include <webp/decode.h>
#include <webp/demux.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

// A frame rate as the exact ratio Num / Den.
struct TRate {
    int64_t Num = 0, Den = 1;
};

// "12", "12.5" or "30000/1001"; false if it is none of them or not above zero.
bool ParseRate(const std::string& text, TRate& rate) {
    const auto digits = [](const std::string& part) {
        return !part.empty() && part.size() <= 9 &&
               part.find_first_not_of("0123456789") == std::string::npos;
    };
    if (const size_t slash = text.find('/'); slash != std::string::npos) {
        const std::string num = text.substr(0, slash), den = text.substr(slash + 1);
        if (!digits(num) || !digits(den))
            return false;
        rate = {std::stoll(num), std::stoll(den)};
    } else {
        const size_t point = text.find('.');
        const std::string whole = text.substr(0, point);
        const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
        if (!digits(whole) || (point != std::string::npos && !digits(fraction)))
            return false;
        int64_t scale = 1;
        for (size_t i = 0; i < fraction.size(); ++i)
            scale *= 10;
        rate = {std::stoll(whole) * scale + (fraction.empty() ? 0 : std::stoll(fraction)), scale};
    }
    if (rate.Num <= 0 || rate.Den <= 0)
        return false;
    const int64_t common = std::gcd(rate.Num, rate.Den);
    rate.Num /= common;
    rate.Den /= common;
    return true;
}

// Whether step k of the grid (time k / rate) comes before `ms` milliseconds.
bool StepBefore(int64_t k, int64_t ms, const TRate& rate) {
    return static_cast<__int128>(k) * 1000 * rate.Den < static_cast<__int128>(ms) * rate.Num;
}

// The number of grid steps before `ms` milliseconds: the smallest k not before it.
int64_t StepsBefore(int64_t ms, const TRate& rate) {
    if (ms <= 0)
        return 0;
    const __int128 numerator = static_cast<__int128>(ms) * rate.Num;
    const __int128 denominator = static_cast<__int128>(1000) * rate.Den;
    return static_cast<int64_t>((numerator + denominator - 1) / denominator);
}

struct TDecoderFree {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

int Usage() {
    std::fprintf(stderr, "usage: vg_bench_webp_frames [--info] <file.webp> <fps>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const bool info = argc > 1 && std::strcmp(argv[1], "--info") == 0;
    if (argc != (info ? 4 : 3))
        return Usage();
    const char* fileName = argv[info ? 2 : 1];
    TRate rate;
    if (!ParseRate(argv[info ? 3 : 2], rate)) {
        std::fprintf(stderr, "vg_bench_webp_frames: \"%s\" is not a frame rate\n",
                     argv[info ? 3 : 2]);
        return Usage();
    }

    std::ifstream file(fileName, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
    if (!file.good() && !file.eof()) {
        std::fprintf(stderr, "vg_bench_webp_frames: %s cannot be read\n", fileName);
        return 1;
    }
    if (bytes.empty()) {
        std::fprintf(stderr, "vg_bench_webp_frames: %s is empty or missing\n", fileName);
        return 1;
    }
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        std::fprintf(stderr, "vg_bench_webp_frames: libwebp is not the version built against\n");
        return 1;
    }
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPAnimDecoder, TDecoderFree> decoder(WebPAnimDecoderNew(&data, &options));
    WebPAnimInfo anim;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &anim)) {
        std::fprintf(stderr, "vg_bench_webp_frames: %s is not a WebP libwebp reads\n", fileName);
        return 1;
    }

    // The length of one play: the durations of all pictures, read from the container without
    // decoding (the decoder's time stamps are the same sums).
    const WebPDemuxer* demuxer = WebPAnimDecoderGetDemuxer(decoder.get());
    int64_t lengthMs = 0;
    for (uint32_t index = 1; index <= anim.frame_count; ++index) {
        WebPIterator iterator;
        if (!WebPDemuxGetFrame(demuxer, static_cast<int>(index), &iterator)) {
            std::fprintf(stderr, "vg_bench_webp_frames: picture %u of %s is missing\n", index,
                         fileName);
            return 1;
        }
        lengthMs += iterator.duration;
        WebPDemuxReleaseIterator(&iterator);
    }
    const int width = static_cast<int>(anim.canvas_width);
    const int height = static_cast<int>(anim.canvas_height);
    const int64_t frames = StepsBefore(lengthMs, rate);
    if (info) {
        std::printf("%d %d %lld\n", width, height, static_cast<long long>(frames));
        return 0;
    }

    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rgb(pixels * 3);
    static char outputBuffer[1 << 20];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    int64_t k = 0, notOpaque = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder.get())) {
        uint8_t* canvas = nullptr;
        int endMs = 0;
        if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &endMs)) {
            std::fprintf(stderr, "vg_bench_webp_frames: %s cannot be decoded after %lld ms\n",
                         fileName, static_cast<long long>(k) * 1000 * rate.Den / rate.Num);
            return 1;
        }
        // A picture no step falls on (shown for less than a step) is never converted.
        if (!StepBefore(k, endMs, rate))
            continue;
        for (size_t i = 0; i < pixels; ++i) {
            const uint8_t* from = canvas + 4 * i;
            uint8_t* to = rgb.data() + 3 * i;
            const unsigned alpha = from[3];
            if (alpha == 255) {
                std::memcpy(to, from, 3);
                continue;
            }
            ++notOpaque;
            for (int c = 0; c < 3; ++c)
                to[c] = static_cast<uint8_t>((from[c] * alpha + 127) / 255);
        }
        for (; StepBefore(k, endMs, rate); ++k)
            if (std::fwrite(rgb.data(), 1, rgb.size(), stdout) != rgb.size()) {
                std::fprintf(stderr, "vg_bench_webp_frames: writing frame %lld failed: %s\n",
                             static_cast<long long>(k), std::strerror(errno));
                return 1;
            }
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "vg_bench_webp_frames: writing failed: %s\n", std::strerror(errno));
        return 1;
    }
    if (k != frames) {
        std::fprintf(stderr, "vg_bench_webp_frames: %lld frames written, %lld expected\n",
                     static_cast<long long>(k), static_cast<long long>(frames));
        return 1;
    }
    if (notOpaque > 0)
        std::fprintf(stderr,
                     "vg_bench_webp_frames: %lld pixels (over all pictures converted) were not "
                     "opaque and are composed over black\n",
                     static_cast<long long>(notOpaque));
    return 0;
}
