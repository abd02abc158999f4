// What drawing captions and logo costs per output frame: three captions and a logo on a
// 640 × 360 frame, as the engine calls it for every frame of a conversion.
//
//   vg_bench_overlays [frames]

#include "project/VGProject.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 500;

    QTemporaryDir dir;
    QImage logo(256, 256, QImage::Format_ARGB32);
    logo.fill(QColor(30, 160, 90, 200));
    const QString logoFile = dir.filePath(QStringLiteral("logo.png"));
    logo.save(logoFile);

    TVGProj project([] { return TProjectDefaults(); });
    project.VideoWidth = 1280;
    project.VideoHeight = 720;
    project.CropRect = {0, 0, 1280, 720};
    project.SizeStyle = ssHalf;
    const char* texts[] = {"Hello there", "A second caption\nwith two lines", "Bottom line 2026"};
    for (int i = 0; i < 3; ++i) {
        TTextObj* text = project.Texts.Add();
        text->FontName = QStringLiteral("Arial");
        text->FontSize = 18;
        text->FontColor = 0xFFFFFF;
        text->FontStyles = i == 1 ? 1 : 0;
        text->Alignment = static_cast<TTextAlignment>(i);
        text->X = 100 + 400 * i;
        text->Y = 80 + 200 * i;
        text->Text = QString::fromUtf8(texts[i]);
    }
    project.Logo.Enabled = true;
    project.Logo.FileName = logoFile;
    project.Logo.X = 1080;
    project.Logo.Y = 40;
    project.Logo.Width = 160;
    project.Logo.Height = 160;

    QImage frame(640, 360, QImage::Format_RGB32);
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        frame.fill(QColor(i % 255, 40, 90));
        QElapsedTimer timer;
        timer.start();
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        project.DrawOutputOverlays(painter, 640, 360);
        painter.end();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    // The last frame really carries the drawing: count the pixels it changed.
    int changed = 0;
    const QRgb background = QColor((frames - 1) % 255, 40, 90).rgb();
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            changed += frame.pixel(x, y) != background;
    std::sort(times.begin(), times.end());
    std::printf("pixels drawn on the last frame: %d\n", changed);
    std::printf("DrawOutputOverlays, 640x360, 3 captions + logo, %d frames: median %.3f ms, "
                "p95 %.3f ms, fastest %.3f ms\n",
                frames, times[times.size() / 2], times[times.size() * 95 / 100], times.front());
    return 0;
}
