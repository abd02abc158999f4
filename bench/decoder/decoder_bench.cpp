// Decoder speed: locating random times in a clip with key frames far apart, plain decoding
// throughput at 720p and 1080p with and without conversion to 24-bit pictures, decoding speed of
// the same content in H.264, VP8 and VP9, and the time of a small output picture per frame: the
// whole picture first, then Lanczos (as the engine did), against one step from the decoded frame.
//
// vg_bench_decoder [locate-count]          everything
// vg_bench_decoder codecs [rounds] [file...] frames per second of decoding alone, per file
// vg_bench_decoder scale [file width]...    per-frame time of the small picture, two ways
// vg_bench_decoder peak file width whole|onestep   peak memory of decoding to small pictures

#include "ScaleBench.h"

#include "decoder/FFDecoder.h"

#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

const QString MediaDir = QStringLiteral(VG_MEDIA_DIR "/");
const QString BenchDir = QStringLiteral(VG_BENCH_DIR "/");

double Milliseconds(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

void BenchLocate(const QString& file, int count) {
    TFFDecoder decoder;
    if (!decoder.LoadFile(file)) {
        std::printf("cannot open %s\n", qPrintable(file));
        return;
    }
    const int64_t duration = decoder.GetFileStreamInfo().Duration;
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int64_t> anyTime(0, duration);
    std::vector<double> times;
    QImage picture;
    for (int i = 0; i < count; ++i) {
        const int64_t target = anyTime(random);
        QElapsedTimer timer;
        timer.start();
        const bool located = decoder.LocateVideoPTS(target);
        const bool copied = located && decoder.CopyToBitmap(picture);
        times.push_back(Milliseconds(timer));
        if (!copied)
            std::printf("locate %lld failed\n", static_cast<long long>(target));
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    std::printf("locate + picture, %d random times in %s:\n  median %.1f ms, mean %.1f ms, "
                "best %.1f ms, worst %.1f ms\n",
                count, qPrintable(file.section(QLatin1Char('/'), -1)), times[times.size() / 2],
                sum / times.size(), times.front(), times.back());
}

void BenchDecode(const QString& file, bool pictures, int rounds) {
    TFFDecoder decoder;
    if (!decoder.LoadFile(file)) {
        std::printf("cannot open %s (build the target vg_bench_decoder_media)\n", qPrintable(file));
        return;
    }
    decoder.SetBitmapBitsPixel(24);
    QImage picture;
    int frames = 0;
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < rounds; ++round) {
        if (round > 0 && !decoder.LocateVideoPTS(0))
            break;
        if (round > 0) {
            ++frames;
            if (pictures)
                decoder.CopyToBitmap(picture);
        }
        while (decoder.Decode(-1)) {
            ++frames;
            if (pictures)
                decoder.CopyToBitmap(picture);
        }
    }
    const double ms = Milliseconds(timer);
    const TVideoStreamInfo info = decoder.GetVideoStreamInfo();
    std::printf("%-40s %4dx%-4d %-13s %5d frames %8.1f ms  %6.1f frames/s\n",
                qPrintable(file.section(QLatin1Char('/'), -1)), info.Width, info.Height,
                pictures ? "+ RGB24" : "decode only", frames, ms, frames * 1000.0 / ms);
}

} // namespace

int main(int argc, char** argv) {
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("codecs"))
        return BenchCodecs(argc - 2, argv + 2, BenchDir);
    if (mode == QLatin1String("peak"))
        return BenchPeak(argc - 2, argv + 2);
    if (mode == QLatin1String("scale"))
        return BenchScale(argc - 2, argv + 2, BenchDir);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    BenchLocate(MediaDir + QStringLiteral("bbb-h264-854x480-30s.mp4"), count);
    BenchLocate(MediaDir + QStringLiteral("tractor-vp9-512x288.webm"), count / 5 + 1);
    std::printf("\n");
    const QString files[] = {
        MediaDir + QStringLiteral("bear-h264-1280x720.mp4"),
        BenchDir + QStringLiteral("landscape-1280x720.mp4"),
        BenchDir + QStringLiteral("landscape-1920x1080.mp4"),
        MediaDir + QStringLiteral("screencast-jupyterlab-github-1616x1568.mp4"),
    };
    for (const QString& file : files) {
        const int rounds = file.contains(QLatin1String("screencast")) ? 1 : 3;
        BenchDecode(file, false, rounds);
        BenchDecode(file, true, rounds);
    }
    std::printf("\n");
    BenchCodecs(0, nullptr, BenchDir);
    std::printf("\n");
    return BenchScale(0, nullptr, BenchDir);
}
