// TGIFImage by hand: loading a long, large GIF against giflib's DGifSlurp of the same file, the
// peak memory of each (run each mode in its own process), and the animation's timing.
//
//   vg_bench_gifimage make <out.gif> [video]   a 1000-frame 1280 x 720 GIF by our engine
//   vg_bench_gifimage load <gif>               TGIFImage load time, peak memory
//   vg_bench_gifimage compose <gif>            load + compose every frame once
//   vg_bench_gifimage slurp <gif>              DGifSlurp time, peak memory
//   vg_bench_gifimage timing <gif> [frames]    average frame period against the delays

#include "engine/Video2Gif.h"
#include "gifimage/GIFComposer.h"
#include "gifimage/GIFPlayer.h"
#include "gifimage/GifSource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>
#include <gif_lib.h>
#include <sys/resource.h>

namespace {

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void Report(const char* what, const QString& gif, double seconds, int frames) {
    const double fileMiB = QFileInfo(gif).size() / 1048576.0;
    std::printf("%s: %d frames in %.3f s; file %.1f MiB; peak resident %.1f MiB (file + %.1f)\n",
                what, frames, seconds, fileMiB, PeakMiB(), PeakMiB() - fileMiB);
}

int Make(const QString& out, const QString& video) {
    TConversionRequest request;
    request.VideoFile = video;
    request.GifFile = out;
    request.StartPTS = 0;
    request.EndPTS = 30'000'000;
    request.CropRect = TRectL{0, 0, 854, 480};
    request.SizeScale = -1;
    request.CustomWidth = 1280;
    request.CustomHeight = 720;
    request.GifFPS = 34; // 30 s of video: just over 1000 frames, the maximum keeps 1000
    request.GifMaxFrame = 1000;
    std::atomic<bool> cancel{false};
    QElapsedTimer clock;
    clock.start();
    const TConversionResult result = RunConversion(request, {}, cancel);
    if (!result.Ok) {
        std::fprintf(stderr, "%s\n", qPrintable(result.Error));
        return 1;
    }
    std::printf("made %s: %d frames %dx%d in %.1f s\n", qPrintable(out), result.FramesWritten,
                result.Width, result.Height, clock.nsecsElapsed() / 1e9);
    return 0;
}

int Load(const QString& gif, bool compose) {
    QElapsedTimer clock;
    clock.start();
    auto image = std::make_shared<TGIFImage>();
    if (!image->LoadFromFile(gif)) {
        std::fprintf(stderr, "%s\n", qPrintable(image->ErrorText()));
        return 1;
    }
    const double loaded = clock.nsecsElapsed() / 1e9;
    Report("TGIFImage load", gif, loaded, image->FrameCount());
    if (compose) {
        TGIFComposer composer(image);
        clock.restart();
        for (int i = 0; i < image->FrameCount(); ++i)
            composer.Advance();
        const double seconds = clock.nsecsElapsed() / 1e9;
        Report("TGIFImage compose all", gif, seconds, image->FrameCount());
        std::printf("  %.2f ms per frame\n", 1000 * seconds / image->FrameCount());
    }
    return 0;
}

int Slurp(const QString& gif) {
    QElapsedTimer clock;
    clock.start();
    int error = 0;
    const TGifHandle file(DGifOpenFileName(QFile::encodeName(gif).constData(), &error));
    if (!file || DGifSlurp(file.get()) != GIF_OK) {
        std::fprintf(stderr, "giflib: %s\n", GifErrorString(file ? file->Error : error));
        return 1;
    }
    const int frames = file->ImageCount;
    const double seconds = clock.nsecsElapsed() / 1e9;
    Report("DGifSlurp", gif, seconds, frames);
    return 0;
}

int Timing(const QString& gif, int frames) {
    auto image = std::make_shared<TGIFImage>();
    if (!image->LoadFromFile(gif))
        return 1;
    TGIFPlayer player;
    QElapsedTimer clock;
    std::vector<qint64> shownAt;
    std::vector<int> indices;
    QObject::connect(&player, &TGIFPlayer::FrameChanged, [&] {
        shownAt.push_back(clock.nsecsElapsed());
        indices.push_back(player.CurrentIndex());
        if (static_cast<int>(shownAt.size()) > frames)
            QCoreApplication::quit();
    });
    clock.start();
    player.SetImage(image);
    QCoreApplication::exec();
    double wanted = 0;
    for (int i = 0; i < frames; ++i)
        wanted += image->FrameDelayMs(indices[static_cast<size_t>(i)]);
    const double actual = (shownAt[static_cast<size_t>(frames)] - shownAt[0]) / 1e6;
    std::printf("timing over %d frames: average period %.3f ms, delays average %.3f ms, "
                "difference %.3f ms\n",
                frames, actual / frames, wanted / frames, (actual - wanted) / frames);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1), gif = args.value(2);
    if (mode == QLatin1String("make"))
        return Make(gif, args.value(3, QStringLiteral(VG_MEDIA_DIR "/bbb-h264-854x480-30s.mp4")));
    if (mode == QLatin1String("load") || mode == QLatin1String("compose"))
        return Load(gif, mode == QLatin1String("compose"));
    if (mode == QLatin1String("slurp"))
        return Slurp(gif);
    if (mode == QLatin1String("timing"))
        return Timing(gif, args.value(3, QStringLiteral("200")).toInt());
    std::fprintf(stderr, "usage: %s make|load|compose|slurp|timing <gif> [...]\n", argv[0]);
    return 2;
}
