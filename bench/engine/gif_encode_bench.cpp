// The encoding pass alone: frames of a clip are decoded and scaled first, the palette built from
// them, then the frames go through the GIF encoder, which is what this times (several rounds, the
// median), with its rows shared with the helper thread and without:
//
//   vg_bench_gif_encode <video> <start s> <seconds> <fps> <width>x<height> [rounds]
//
// Prints wall and processor time (this thread, and the whole process) per pass and the GIF's
// size; both ways must give the same bytes.

#include "decoder/FFDecoder.h"
#include "engine/GifEncoder.h"
#include "engine/Quantizer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double Cpu(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Every frame nearest a step of 1/fps from `start`, as packed red-green-blue bytes.
std::vector<std::vector<uchar>> ReadFrames(const QString& video, double start, double seconds,
                                           double fps, QSize size) {
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(32);
    std::vector<std::vector<uchar>> frames;
    if (!decoder.LoadFile(video) || !decoder.LocateVideoPTS(static_cast<int64_t>(start * 1e6)))
        return frames;
    QImage picture;
    for (int step = 0; step < static_cast<int>(seconds * fps); ++step) {
        const auto due = static_cast<int64_t>((start + step / fps) * 1e6);
        while (decoder.CurrentPTS() < due)
            if (!decoder.Decode())
                return frames;
        if (!decoder.CopyToBitmap(picture))
            return frames;
        const QImage rgb = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_RGB888);
        std::vector<uchar> packed;
        for (int y = 0; y < rgb.height(); ++y)
            packed.insert(packed.end(), rgb.constScanLine(y),
                          rgb.constScanLine(y) + size.width() * 3);
        frames.push_back(std::move(packed));
    }
    return frames;
}

struct TPass {
    double Wall = 0, Thread = 0, Process = 0;
    QByteArray Gif;
};

TPass Encode(const std::vector<std::vector<uchar>>& frames, QSize size,
             const QVector<QRgb>& palette, bool share) {
    TPass pass;
    QBuffer buffer(&pass.Gif);
    buffer.open(QIODevice::WriteOnly);
    TGifEncoderOptions options;
    options.ShareRows = share;
    QElapsedTimer timer;
    timer.start();
    const double thread = Cpu(CLOCK_THREAD_CPUTIME_ID), process = Cpu(CLOCK_PROCESS_CPUTIME_ID);
    TGifEncoder encoder(&buffer, size, 0, palette, options);
    bool ok = encoder.Start();
    for (const std::vector<uchar>& frame : frames)
        ok = ok && encoder.AddFrame(frame.data(), 10);
    ok = ok && encoder.Finish();
    pass.Wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    pass.Thread = Cpu(CLOCK_THREAD_CPUTIME_ID) - thread;
    pass.Process = Cpu(CLOCK_PROCESS_CPUTIME_ID) - process;
    if (!ok)
        pass.Gif.clear();
    return pass;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int width = 0, height = 0;
    if (argc < 6 || std::sscanf(argv[5], "%dx%d", &width, &height) != 2 || width <= 0 ||
        height <= 0) {
        std::fprintf(stderr, "usage: vg_bench_gif_encode <video> <start s> <seconds> <fps> "
                             "<width>x<height> [rounds]\n");
        return 2;
    }
    const QSize size(width, height);
    const int rounds = argc > 6 ? std::max(1, std::atoi(argv[6])) : 5;
    const auto frames = ReadFrames(QString::fromLocal8Bit(argv[1]), std::atof(argv[2]),
                                   std::atof(argv[3]), std::atof(argv[4]), size);
    if (frames.empty()) {
        std::fprintf(stderr, "no frames read\n");
        return 1;
    }
    TPaletteBuilder builder;
    for (const std::vector<uchar>& frame : frames)
        builder.AddRgb(frame.data(), static_cast<qsizetype>(frame.size() / 3));
    const QVector<QRgb> palette = builder.Build();
    QByteArray first;
    for (const bool share : {false, true}) {
        std::vector<double> wall, thread, process;
        for (int round = 0; round < rounds; ++round) {
            const TPass pass = Encode(frames, size, palette, share);
            if (pass.Gif.isEmpty() || (!first.isEmpty() && pass.Gif != first)) {
                std::fprintf(stderr, "the encoder failed or its bytes differ\n");
                return 1;
            }
            first = pass.Gif;
            wall.push_back(pass.Wall);
            thread.push_back(pass.Thread);
            process.push_back(pass.Process);
        }
        std::printf(
            "%-9s %zu frames: wall %.3f s, this thread %.3f s, process %.3f s, %lld bytes\n",
            share ? "shared" : "one-core", frames.size(), Median(wall), Median(thread),
            Median(process), static_cast<long long>(first.size()));
    }
    return 0;
}
