#include "ScaleBench.h"

#include "decoder/FFDecoder.h"
#include "decoder/ScalerCache.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Processor time of the whole process (every thread), in milliseconds.
double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Lanczos on planes of green, blue and red, as the engine scaled whole pictures.
class TPlaneScaler {
public:
    QImage Scale(const QImage& image, const QSize& size) {
        const QImage source = image.convertToFormat(QImage::Format_RGB32);
        const int inW = source.width(), inH = source.height();
        TScalerKey key;
        key.SrcWidth = inW;
        key.SrcHeight = inH;
        key.SrcFormat = key.DstFormat = AV_PIX_FMT_GBRP;
        key.DstWidth = size.width();
        key.DstHeight = size.height();
        key.Flags = SWS_LANCZOS | SWS_ACCURATE_RND;
        SwsContext* context = Scaler.Get(key);
        const size_t inPlane = size_t(inW) * size_t(inH);
        const size_t outPlane = size_t(size.width()) * size_t(size.height());
        In.resize(inPlane * 3);
        Out.resize(outPlane * 3);
        for (int y = 0; y < inH; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
            uint8_t* g = In.data() + size_t(y) * size_t(inW);
            for (int x = 0; x < inW; ++x) {
                g[x] = uint8_t(qGreen(line[x]));
                g[x + inPlane] = uint8_t(qBlue(line[x]));
                g[x + 2 * inPlane] = uint8_t(qRed(line[x]));
            }
        }
        const uint8_t* const in[] = {In.data(), In.data() + inPlane, In.data() + 2 * inPlane};
        const int inStride[] = {inW, inW, inW};
        uint8_t* const out[] = {Out.data(), Out.data() + outPlane, Out.data() + 2 * outPlane};
        const int outStride[] = {size.width(), size.width(), size.width()};
        sws_scale(context, in, inStride, 0, inH, out, outStride);
        QImage result(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
            const uint8_t* g = Out.data() + size_t(y) * size_t(size.width());
            for (int x = 0; x < size.width(); ++x)
                line[x] = qRgb(g[x + 2 * outPlane], g[x], g[x + outPlane]);
        }
        return result;
    }

private:
    TScalerCache Scaler;
    std::vector<uint8_t> In, Out;
};

void CodecRate(const QString& file, int rounds) {
    std::vector<double> rates, cpu;
    int frames = 0;
    QString codec;
    for (int round = 0; round < rounds; ++round) {
        TFFDecoder decoder;
        if (!decoder.LoadFile(file)) {
            std::printf("cannot open %s (build the target vg_bench_decoder_media)\n",
                        qPrintable(file));
            return;
        }
        codec = decoder.GetVideoStreamInfo().CodecName;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = CpuMilliseconds();
        frames = 0;
        while (decoder.Decode())
            ++frames;
        rates.push_back(frames * 1e9 / double(timer.nsecsElapsed()));
        cpu.push_back((CpuMilliseconds() - cpuStart) / std::max(frames, 1));
    }
    std::printf("%-36s %-6s %5d frames  %7.1f frames/s, %6.3f ms processor time a frame "
                "(medians of %d rounds)\n",
                qPrintable(QFileInfo(file).fileName()), qPrintable(codec), frames, Median(rates),
                Median(cpu), rounds);
}

void ScaleTimes(const QString& file, int width) {
    std::vector<double> wholeThenScale, oneStep, wholeCpu, oneCpu;
    for (const bool direct : {false, true}) {
        TFFDecoder decoder;
        decoder.SetBitmapBitsPixel(32);
        if (!decoder.LoadFile(file)) {
            std::printf("cannot open %s\n", qPrintable(file));
            return;
        }
        const TVideoStreamInfo info = decoder.GetVideoStreamInfo();
        const QSize out(width, std::max(1, int(qint64(width) * info.Height / info.Width)));
        const QRect all(0, 0, info.Width, info.Height);
        TPlaneScaler scaler;
        QImage picture, small;
        while (decoder.Decode()) {
            QElapsedTimer timer;
            timer.start();
            const double cpuStart = CpuMilliseconds();
            if (direct) {
                decoder.CopyToBitmapScaled(small, all, out);
            } else {
                decoder.CopyToBitmap(picture);
                small = scaler.Scale(picture, out);
            }
            (direct ? oneStep : wholeThenScale).push_back(timer.nsecsElapsed() / 1e6);
            (direct ? oneCpu : wholeCpu).push_back(CpuMilliseconds() - cpuStart);
        }
    }
    std::printf("%-36s to %4d px: whole picture then Lanczos %6.2f ms (processor %6.2f ms), one "
                "step %6.2f ms (processor %6.2f ms); medians a frame\n",
                qPrintable(QFileInfo(file).fileName()), width, Median(wholeThenScale),
                Median(wholeCpu), Median(oneStep), Median(oneCpu));
}

} // namespace

int BenchPeak(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vg_bench_decoder peak <file> <width> whole|onestep\n");
        return 2;
    }
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(32);
    if (!decoder.LoadFile(QString::fromLocal8Bit(argv[0])))
        return 1;
    const TVideoStreamInfo info = decoder.GetVideoStreamInfo();
    const int width = std::max(16, std::atoi(argv[1]));
    const QSize out(width, std::max(1, int(qint64(width) * info.Height / info.Width)));
    const bool direct = QString::fromLocal8Bit(argv[2]) == QLatin1String("onestep");
    TPlaneScaler scaler;
    QImage picture, small;
    int frames = 0;
    while (decoder.Decode()) {
        if (direct) {
            decoder.CopyToBitmapScaled(small, QRect(0, 0, info.Width, info.Height), out);
        } else {
            decoder.CopyToBitmap(picture);
            small = scaler.Scale(picture, out);
        }
        ++frames;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s, %d frames, %s: peak resident memory %.1f MB\n", argv[0], frames,
                direct ? "one step" : "whole picture then Lanczos", usage.ru_maxrss / 1024.0);
    return 0;
}

int BenchCodecs(int argc, char** argv, const QString& benchDir) {
    const int rounds = argc > 0 ? std::max(1, std::atoi(argv[0])) : 3;
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    if (files.isEmpty()) {
        for (const char* name : {"landscape-1280x720.mp4", "landscape-1280x720-vp8.webm",
                                 "landscape-1280x720-vp9.webm", "bbb-vp8.webm"})
            if (QFileInfo::exists(benchDir + QLatin1String(name)))
                files << benchDir + QLatin1String(name);
        files << QStringLiteral(VG_MEDIA_DIR "/bbb-h264-854x480-30s.mp4");
    }
    for (const QString& file : files)
        CodecRate(file, rounds);
    return 0;
}

int BenchScale(int argc, char** argv, const QString& benchDir) {
    if (argc >= 2) {
        for (int i = 0; i + 1 < argc; i += 2)
            ScaleTimes(QString::fromLocal8Bit(argv[i]), std::max(16, std::atoi(argv[i + 1])));
        return 0;
    }
    ScaleTimes(benchDir + QStringLiteral("landscape-3840x2160.mp4"), 960);
    ScaleTimes(benchDir + QStringLiteral("landscape-1920x1080.mp4"), 480);
    ScaleTimes(QStringLiteral(VG_MEDIA_DIR "/bear-hevc-main10-hdr10-640x360.mp4"), 320);
    return 0;
}
