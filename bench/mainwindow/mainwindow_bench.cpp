// The main window's speed on the real decoder, offscreen, run by hand:
//
//   vg_bench_mainwindow open [video] [rounds]   opening until the still view and the strip show
//   vg_bench_mainwindow play [video]            playing with two captions and a logo
//   vg_bench_mainwindow page [video]            paging to the end and back: the work folder's peak
//
// Without a video, "open" takes bear-h264-1280x720.mp4 of the shared media, "page" the screen
// recording, and "play" a 1080p 30 fps clip it draws into the build folder on the first run;
// "open4k", "page4k" and "play4k" take a 3840 x 2160 clip the same way.
//
// Opening: the window opens the file as the Open button does, and the time runs until the still
// view shows the first frame and every thumbnail on screen is drawn. It is set against a bare
// decoder that opens the file, locates time 0 and decodes the same 30 frames into pictures.
// Also reported: when the last picture file is on disk, and how much a group adds to the work
// folder.
//
// Playing: the window's own frame display runs for every frame a playback worker hands over (as
// the Play button starts it); per frame the time on the UI thread (overlays, fitting, painting)
// and the lateness against the frames' time stamps. A frame is late when it is shown more than
// one frame period after it was due.

#include "ClipMaker.h"
#include "app/VGApp.h"
#include "app/VGUIApp.h"
#include "common/CommonFunctions.h"
#include "decoder/FFDecoder.h"
#include "mainwindow/MainFrm.h"
#include "playback/DecodePlayer.h"
#include "project/FrameWriter.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "widgets/ThumbStrip.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

QString BenchClip(int width, int height) {
    const QString path =
        QStringLiteral(VG_BENCH_DIR "/clip-%1x%2-30fps.mp4").arg(width).arg(height);
    if (!QFileInfo::exists(path)) {
        TClipShape shape;
        shape.Width = width;
        shape.Height = height;
        shape.Seconds = width > 2000 ? 4 : 10;
        std::fprintf(stderr, "drawing %s ...\n", qPrintable(path));
        if (!MakeClip(path, shape))
            return {};
    }
    return path;
}

// Opening the file and decoding 30 frames into pictures, nothing else.
double DecodeOnlyMs(const QString& video, int frames) {
    QElapsedTimer timer;
    timer.start();
    TFFDecoder decoder;
    decoder.LoadFile(video);
    decoder.SetBitmapBitsPixel(decoder.GetVideoStreamInfo().Width % 4 == 0 ? 24 : 32);
    (void)decoder.LocateVideoPTS(0);
    QImage picture;
    for (int i = 0; i < frames; ++i) {
        decoder.CopyToBitmap(picture);
        if (i + 1 < frames && !decoder.Decode())
            break;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

// Every item the strip shows has its thumbnail (or gave up on it).
bool VisibleThumbnailsDrawn(TThumbStrip* strip) {
    strip->viewport()->repaint();
    int visible = 0;
    for (int i = 0; i < strip->Count(); ++i) {
        TPhotoData* item = strip->Item(i);
        if (!strip->ItemRect(item).intersects(strip->viewport()->rect()))
            continue;
        ++visible;
        if (item->ThumbState() != TPhotoData::tsLoaded &&
            item->ThumbState() != TPhotoData::tsFailed)
            return false;
    }
    return visible > 0;
}

qint64 FolderBytes(const QString& folder) {
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files))
        bytes += file.size();
    return bytes;
}

int RunOpen(const QString& video, int rounds) {
    std::vector<double> shown, thumbs, onDisk, bare;
    qint64 groupBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        bare.push_back(DecodeOnlyMs(video, 30));
        TMainForm form;
        form.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        if (!form.OpenVideoFile(video))
            return 1;
        shown.push_back(double(timer.nsecsElapsed()) / 1e6);
        while (!VisibleThumbnailsDrawn(form.ShotView))
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        thumbs.push_back(double(timer.nsecsElapsed()) / 1e6);
        form.FrameWriter()->Flush();
        onDisk.push_back(double(timer.nsecsElapsed()) / 1e6);
        groupBytes = FolderBytes(App->TempPath);
        form.acNextMoreExecute();
        form.FrameWriter()->Flush();
        groupBytes = FolderBytes(App->TempPath) - groupBytes;
    }
    const double b = Percentile(bare, 0.5);
    std::printf("%s\n  open+locate+decode 30 frames alone: %.0f ms\n", qPrintable(video), b);
    std::printf("  window: still view and strip shown %.0f ms (%.2fx), thumbnails on screen "
                "%.0f ms (%.2fx), last picture file on disk %.0f ms\n",
                Percentile(shown, 0.5), Percentile(shown, 0.5) / b, Percentile(thumbs, 0.5),
                Percentile(thumbs, 0.5) / b, Percentile(onDisk, 0.5));
    std::printf("  work folder growth per group of 30: %.1f MB\n", double(groupBytes) / 1e6);
    return 0;
}

// Pages to the end of the video with the next-group button's command, as a user browsing it
// would, then scrolls the strip back to its start a view at a time: the work folder's peak (the
// files on disk after each step), the time of a page forward (pictures new) and of a step back
// whose pictures had left the folder (made again from the video).
int RunPage(const QString& video) {
    TMainForm form;
    form.show();
    if (!form.OpenVideoFile(video))
        return 1;
    TThumbStrip* strip = form.ShotView;
    qint64 peak = 0;
    std::vector<double> forward, back;
    auto settle = [&](QElapsedTimer& timer, std::vector<double>& times) {
        while (!VisibleThumbnailsDrawn(strip))
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        form.FrameWriter()->Flush();
        peak = std::max(peak, FolderBytes(App->TempPath));
    };
    for (int64_t last = -1; form.StripLastPTS() != last && forward.size() < 1000;) {
        last = form.StripLastPTS();
        QElapsedTimer timer;
        timer.start();
        form.acNextMoreExecute();
        settle(timer, forward);
    }
    const int pages = int(forward.size());
    while (strip->HorzScrollPos() > 0) {
        const int to = std::max(0, strip->HorzScrollPos() - strip->viewport()->width());
        QElapsedTimer timer;
        timer.start();
        strip->SetHorzScrollPos(to);
        bool gone = false;
        for (const TPhotoData* item : strip->VisibleItems())
            gone = gone || form.Project()->IsPictureGone(static_cast<TVGFrame*>(item->Data));
        std::vector<double>& times = gone ? back : forward;
        settle(timer, times);
        if (!gone)
            forward.pop_back(); // a step back whose pictures were all there: not a page
    }
    std::printf("%s: %d pages to the end, %zu views back with pictures made again; work folder "
                "peak %.0f MB (budget %.0f MB)\n",
                qPrintable(video), pages, back.size(), double(peak) / 1e6,
                double(TFrameWriter::DefaultBudget(App->TempPath)) / 1e6);
    std::printf("  a page forward: median %.0f ms; a view back made again from the video: "
                "median %.0f ms, slowest %.0f ms\n",
                Percentile(forward, 0.5), Percentile(back, 0.5), Percentile(back, 1.0));
    return 0;
}

void AddOverlays(TVGProj* project) {
    for (int i = 0; i < 2; ++i) {
        TTextObj* caption = project->Texts.Add();
        caption->Text = i ? QStringLiteral("Second line\nof a caption") : QStringLiteral("Hello!");
        caption->FontName = QStringLiteral("Arial");
        caption->FontSize = 48;
        caption->FontStyles = i ? 0 : 1;
        caption->FontColor = 0x00D0FF;
        caption->X = 80 + 600 * i;
        caption->Y = 80 + 300 * i;
    }
    QImage logo(160, 160, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    {
        QPainter painter(&logo);
        painter.setBrush(QColor(230, 40, 40, 200));
        painter.drawEllipse(10, 10, 140, 140);
    }
    const QString logoFile = App->TempPath + QStringLiteral("bench-logo.png");
    logo.save(logoFile);
    project->Logo.Enabled = true;
    project->Logo.FileName = logoFile;
    project->Logo.X = project->VideoWidth - 220;
    project->Logo.Y = 40;
    project->Logo.Width = 160;
    project->Logo.Height = 160;
}

int RunPlay(const QString& video) {
    TMainForm form;
    form.show();
    if (!form.OpenVideoFile(video))
        return 1;
    AddOverlays(form.Project());
    // The window's playing state, with the worker of the bench so each frame can be timed (a
    // press on the track bar frees the window's own worker and leaves the player showing).
    form.acPlayExecute();
    form.TrackBarMouseDown();
    std::vector<double> uiMs, lateMs;
    QElapsedTimer clock;
    int64_t firstPts = AV_NOPTS_VALUE;
    qint64 firstNs = 0;
    bool ended = false;
    TDecodePlayThread worker;
    worker.Decoder = form.Decoder();
    worker.EndMessage = 0;
    worker.OnFrame = [&](TCustomDecoder* decoder, QImage& picture) {
        const qint64 now = clock.nsecsElapsed();
        if (firstPts == AV_NOPTS_VALUE) {
            firstPts = decoder->CurrentPTS();
            firstNs = now;
        }
        lateMs.push_back(double(now - firstNs) / 1e6 -
                         double(decoder->CurrentPTS() - firstPts) / 1e3);
        QElapsedTimer ui;
        ui.start();
        form.ShowVideoFrame(decoder, picture);
        uiMs.push_back(double(ui.nsecsElapsed()) / 1e6);
    };
    clock.start();
    if (!worker.LocateAndStart(0))
        return 1;
    while (!ended && worker.GetLastPTS() < form.Project()->Duration - 100000 &&
           clock.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        ended = worker.Finished();
    }
    worker.TerminateAndWait();
    const double period = form.Project()->FrameRate > 0 ? 1000.0 / form.Project()->FrameRate : 33.3;
    const auto late =
        std::count_if(lateMs.begin(), lateMs.end(), [period](double ms) { return ms > period; });
    std::printf("%s: %zu frames, %ld late (%.2f %%), worst lateness %.1f ms\n", qPrintable(video),
                uiMs.size(), long(late),
                100.0 * double(late) / double(std::max<size_t>(1, uiMs.size())),
                Percentile(lateMs, 1.0));
    std::printf("  UI thread per frame (overlays + fit + paint): median %.2f ms, p95 %.2f ms\n",
                Percentile(uiMs, 0.5), Percentile(uiMs, 0.95));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("open");
    TApp core(QStringLiteral(VG_PROGRAM_DIR));
    App = &core;
    ForceDirectories(App->TempPath);
    TUIApp pictures(App->AppPath + QStringLiteral("resource/"));
    UIApp = &pictures;
    Config = new TVGConfig();
    Config->InstallTracked = true;
    QString video = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    int result = 2;
    if (mode == QLatin1String("open") || mode == QLatin1String("open4k")) {
        if (video.isEmpty())
            video = mode == QLatin1String("open4k")
                        ? BenchClip(3840, 2160)
                        : QStringLiteral(VG_MEDIA_DIR "/bear-h264-1280x720.mp4");
        result = RunOpen(video, argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
    } else if (mode == QLatin1String("page") || mode == QLatin1String("page4k")) {
        if (video.isEmpty())
            video =
                mode == QLatin1String("page4k")
                    ? BenchClip(3840, 2160)
                    : QStringLiteral(VG_MEDIA_DIR "/screencast-jupyterlab-github-1616x1568.mp4");
        result = RunPage(video);
    } else if (mode == QLatin1String("play") || mode == QLatin1String("play4k")) {
        if (video.isEmpty())
            video = mode == QLatin1String("play4k") ? BenchClip(3840, 2160) : BenchClip(1920, 1080);
        result = RunPlay(video);
    } else {
        std::fprintf(stderr,
                     "usage: vg_bench_mainwindow open|open4k|page|page4k|play|play4k [video] "
                     "[rounds]\n");
    }
    DeleteFolderFiles(App->TempPath);
    delete Config;
    Config = nullptr;
    return result;
}
