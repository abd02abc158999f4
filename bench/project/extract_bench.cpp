// Frame extraction for the frame strip, against decoding alone: a cold project extracts a group
// of 30 frames (locate, decode, picture, bitmap file), and a bare decoder locates the same time
// and decodes the same frames without pictures or files.
//
//   vg_bench_extract <video> <seconds> [rounds]

#include "app/VGApp.h"
#include "decoder/FFDecoder.h"
#include "project/VGProject.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vg_bench_extract <video> <seconds> [rounds]\n");
        return 2;
    }
    const QString video = QString::fromLocal8Bit(argv[1]);
    const int64_t pts = static_cast<int64_t>(std::atof(argv[2]) * 1e6);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    TApp core;
    App = &core;

    std::vector<double> extract, again, decodeOnly;
    for (int round = 0; round < rounds; ++round) {
        {
            TFFDecoder decoder;
            decoder.LoadFile(video);
            TVGProj project([] { return TProjectDefaults(); });
            project.ReadStreamInfo(&decoder);
            std::vector<TVGFrame*> group;
            QElapsedTimer timer;
            timer.start();
            project.ExtractFrames(&decoder, 30, nullptr, group, pts);
            extract.push_back(timer.nsecsElapsed() / 1e6);
            std::vector<TVGFrame*> second;
            timer.restart();
            project.ExtractFrames(&decoder, 30, nullptr, second, pts);
            again.push_back(timer.nsecsElapsed() / 1e6);
            if (group.size() != 30 || second != group)
                std::fprintf(stderr, "unexpected group: %zu frames\n", group.size());
        }
        {
            TFFDecoder decoder;
            decoder.LoadFile(video);
            QElapsedTimer timer;
            timer.start();
            decoder.LocateVideoPTS(pts);
            for (int i = 0; i < 29; ++i)
                decoder.Decode();
            decodeOnly.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    App = nullptr;
    const double e = Median(extract), d = Median(decodeOnly);
    std::printf("%s at %.3f s, 30 frames, median of %d: extract %.1f ms, again %.2f ms, decode "
                "only %.1f ms, ratio %.2f\n",
                qPrintable(QFileInfo(video).fileName()), pts / 1e6, rounds, e, Median(again), d,
                e / d);
    return 0;
}
