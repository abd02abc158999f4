// Playback and scrubbing speed of the workers on the real decoder, run by hand:
//
//   cmake --build <build> --target vg_bench_playback && <build>/bench/playback/vg_bench_playback
//
// The first run draws its clips into the build folder (a minute or two); later runs reuse them.
//
// Playback: each clip is played from its start through the playback worker with a hand-over that
// copies the picture, as the window does. For every frame, lateness = (when it was handed over -
// when the first one was) - (its time stamp - the first one's). A frame is late when that exceeds
// one frame period.
//
// Scrubbing: random times are requested from the seek worker one at a time; measured are the
// times from RequestSeek to the first picture shown and to the exact frame. A drag then sends a
// request every 20 ms and counts the pictures shown while it lasts.

#include "ClipMaker.h"
#include "FramePattern.h"
#include "decoder/FFDecoder.h"
#include "playback/DecodePlayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

const QString BenchDir = QStringLiteral(VG_BENCH_DIR "/");
const QString MediaDir = QStringLiteral(VG_MEDIA_DIR "/");

// Runs the event loop (so hand-overs are served) until `done` holds or `timeoutMs` passes.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    bool reached = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        reached = done();
        if (reached || waited.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    return reached;
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(share * double(values.size() - 1) + 0.5));
    return values[at];
}

bool OpenClip(TFFDecoder& decoder, const QString& file) {
    if (!QFile::exists(file)) {
        std::printf("  %s: missing\n", qPrintable(file));
        return false;
    }
    if (!decoder.LoadFile(file)) {
        std::printf("  %s: cannot open\n", qPrintable(file));
        return false;
    }
    return true;
}

bool EnsureClip(const QString& name, const TClipShape& shape) {
    const QString path = BenchDir + name;
    if (QFile::exists(path))
        return true;
    std::printf("drawing %s ...\n", qPrintable(name));
    std::fflush(stdout);
    return MakeClip(path, shape);
}

void BenchPlayback(const QString& label, const QString& file) {
    TFFDecoder decoder;
    if (!OpenClip(decoder, file))
        return;
    const TVideoStreamInfo info = decoder.GetVideoStreamInfo();
    const int64_t period = NominalFrameDuration(info);
    const double periodMs = period > 0 ? period / 1000.0 : 1000.0 / 30;

    struct TShown {
        double AtMs;
        int64_t PTS;
    };
    std::vector<TShown> shown;
    shown.reserve(4000);
    QElapsedTimer clock;
    auto* thread = new TDecodePlayThread;
    thread->Decoder = &decoder;
    thread->OnFrame = [&](TCustomDecoder* source, QImage& picture) {
        // The frame counts as shown when the window gets it; then it copies it, as the window
        // draws it, which holds the worker up as long.
        shown.push_back({double(clock.nsecsElapsed()) / 1e6, source->CurrentPTS()});
        const QImage copy = picture.copy();
        (void)copy.constBits();
    };
    clock.start();
    if (!thread->LocateAndStart(0)) {
        std::printf("  %s: cannot start\n", qPrintable(label));
        TSafeThread::SafeFree(thread);
        return;
    }
    RunUntil([thread] { return thread->Finished(); }, 600000);
    TSafeThread::SafeFree(thread);
    if (shown.size() < 2)
        return;

    std::vector<double> lateness;
    int late = 0;
    for (const TShown& frame : shown) {
        const double due = double(frame.PTS - shown.front().PTS) / 1000.0;
        const double off = (frame.AtMs - shown.front().AtMs) - due;
        lateness.push_back(off);
        late += off > periodMs ? 1 : 0;
    }
    std::printf("  %-34s %5zu frames  %dx%d  late>%.1fms: %d (%.2f %%)  lateness median %.2f ms, "
                "p99 %.2f ms, worst %.2f ms\n",
                qPrintable(label), shown.size(), info.Width, info.Height, periodMs, late,
                100.0 * late / double(shown.size()), Percentile(lateness, 0.5),
                Percentile(lateness, 0.99), Percentile(lateness, 1.0));
}

void BenchScrub(const QString& label, const QString& file, bool hasPattern) {
    TFFDecoder decoder;
    TFFDecoder reference;
    if (!OpenClip(decoder, file) || !OpenClip(reference, file))
        return;
    const int64_t duration = decoder.GetFileStreamInfo().Duration;

    struct TShown {
        double AtMs;
        int64_t PTS;
        int Index;
    };
    std::vector<TShown> shown;
    QElapsedTimer sinceRequest;
    auto* seeker = new TDecoderSeek;
    seeker->Decoder = &decoder;
    seeker->OnFrame = [&](TCustomDecoder* source, QImage& picture) {
        shown.push_back({double(sinceRequest.nsecsElapsed()) / 1e6, source->CurrentPTS(),
                         hasPattern ? fixture::ReadIndexPattern(picture) : -1});
    };
    seeker->Start();

    std::mt19937_64 random(7);
    std::uniform_int_distribution<int64_t> anyTime(0, std::max<int64_t>(0, duration - 1));
    std::vector<double> first, exact;
    int pictures = 0, wrong = 0, missed = 0;
    for (int round = 0; round < 25; ++round) {
        const int64_t target = anyTime(random);
        if (!reference.LocateVideoPTS(target))
            continue;
        const int64_t expected = reference.CurrentPTS();
        QImage expectedPicture;
        reference.CopyToBitmap(expectedPicture);
        const int expectedIndex = hasPattern ? fixture::ReadIndexPattern(expectedPicture) : -1;
        shown.clear();
        sinceRequest.start();
        seeker->RequestSeek(target);
        if (!RunUntil([&] { return !shown.empty() && shown.back().PTS == expected; }, 10000)) {
            ++missed;
            continue;
        }
        first.push_back(shown.front().AtMs);
        exact.push_back(shown.back().AtMs);
        pictures += int(shown.size());
        wrong += shown.back().Index != expectedIndex ? 1 : 0;
    }
    std::printf("  %-34s %zu requests  first picture median %.1f ms, worst %.1f ms  exact frame "
                "median %.1f ms, worst %.1f ms  (%d pictures, %d wrong, %d missed)\n",
                qPrintable(label), first.size(), Percentile(first, 0.5), Percentile(first, 1.0),
                Percentile(exact, 0.5), Percentile(exact, 1.0), pictures, wrong, missed);

    // A drag across the middle third: a request every 20 ms for 2 s.
    shown.clear();
    QElapsedTimer drag;
    drag.start();
    int requests = 0;
    int64_t last = 0;
    while (drag.elapsed() < 2000) {
        last = duration / 3 + duration / 3 * drag.elapsed() / 2000;
        sinceRequest.start();
        seeker->RequestSeek(last);
        ++requests;
        RunUntil([&] { return drag.elapsed() >= 20 * requests; }, 100);
    }
    const size_t duringDrag = shown.size();
    reference.LocateVideoPTS(last);
    const int64_t expected = reference.CurrentPTS();
    RunUntil([&] { return !shown.empty() && shown.back().PTS == expected; }, 10000);
    std::printf("  %-34s drag of %d requests in 2 s: %zu pictures shown; last exact frame %.1f ms "
                "after the last request\n",
                "", requests, duringDrag, shown.empty() ? 0.0 : shown.back().AtMs);
    TSafeThread::SafeFree(seeker);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool made =
        EnsureClip(QStringLiteral("play-1280x720-30fps.mp4"), {1280, 720, 30, 10, 60}) &&
        EnsureClip(QStringLiteral("play-1920x1080-30fps.mp4"), {1920, 1080, 30, 10, 60}) &&
        EnsureClip(QStringLiteral("scrub-1920x1080-30fps-key10s.mp4"), {1920, 1080, 30, 30, 300});
    if (!made)
        return 1;

    std::printf("Playback (hand-over copies the picture):\n");
    BenchPlayback(QStringLiteral("drawn 1280x720 30 fps, 10 s"),
                  BenchDir + QStringLiteral("play-1280x720-30fps.mp4"));
    BenchPlayback(QStringLiteral("drawn 1920x1080 30 fps, 10 s"),
                  BenchDir + QStringLiteral("play-1920x1080-30fps.mp4"));
    BenchPlayback(QStringLiteral("bear-h264-1280x720.mp4"),
                  MediaDir + QStringLiteral("bear-h264-1280x720.mp4"));
    BenchPlayback(QStringLiteral("bbb-h264-854x480-30s.mp4"),
                  MediaDir + QStringLiteral("bbb-h264-854x480-30s.mp4"));

    std::printf("Scrubbing (RequestSeek to first picture and to the exact frame):\n");
    BenchScrub(QStringLiteral("bbb-h264-854x480-30s.mp4"),
               MediaDir + QStringLiteral("bbb-h264-854x480-30s.mp4"), false);
    BenchScrub(QStringLiteral("drawn 1920x1080, key frame every 10 s"),
               BenchDir + QStringLiteral("scrub-1920x1080-30fps-key10s.mp4"), true);
    return 0;
}
