// The Convert road in the program, by hand: the progress window runs the engine on a clip, then
// (with --preview) the preview window loads and plays the GIF. Prints the time from the click to
// the end of the conversion, to compare with the command-line converter on the same clip:
//
//   vg_bench_convert_road <video> <start s> <end s> <fps> <half|quarter|original>
//                         [--rounds N] [--preview] [--shots <folder>] [--save <file.gif>]
//                         [--work <folder>]
//
// --shots saves pictures of the progress window during the run and of the preview while it plays
// (run it under xvfb-run to see the real windows); --save saves the GIF from the preview with its
// "Save GIF File" button and checks the copy byte for byte; --work puts "preview.gif" in that
// folder instead of a temporary one (a small, full file system shows the failure road).

#include "common/MsgBox.h"
#include "conversion/PreviewFrm.h"
#include "conversion/PublishFrm.h"
#include "decoder/FFDecoder.h"
#include "gifimage/GIFView.h"
#include "project/VGProject.h"
#include "widgets/SkinButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

template <typename T> T* FindWindow() {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* found = qobject_cast<T*>(window); found && found->isVisible())
            return found;
    return nullptr;
}

void SaveShot(QWidget* window, const QString& fileName) {
    window->repaint();
    QCoreApplication::processEvents();
    // The whole screen when there is one (under Xvfb), else the window itself.
    QScreen* screen = QGuiApplication::primaryScreen();
    QPixmap shot = screen && QGuiApplication::platformName() == QLatin1String("xcb")
                       ? screen->grabWindow(0)
                       : window->grab();
    if (shot.save(fileName))
        std::printf("screenshot %s\n", qPrintable(fileName));
}

TSizeStyle SizeFromText(const QString& text) {
    return text == QLatin1String("quarter")    ? ssQuarter
           : text == QLatin1String("original") ? ssOriginal
                                               : ssHalf;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        std::fprintf(stderr,
                     "usage: %s video start end fps half|quarter|original [--rounds N] "
                     "[--preview] [--shots folder]\n",
                     argv[0]);
        return 2;
    }
    const int rounds = args.contains(QStringLiteral("--rounds"))
                           ? args.value(args.indexOf(QStringLiteral("--rounds")) + 1).toInt()
                           : 1;
    const bool preview = args.contains(QStringLiteral("--preview"));
    const QString shots = args.contains(QStringLiteral("--shots"))
                              ? args.value(args.indexOf(QStringLiteral("--shots")) + 1)
                              : QString();
    const QString saveAs = args.contains(QStringLiteral("--save"))
                               ? args.value(args.indexOf(QStringLiteral("--save")) + 1)
                               : QString();
    TPreviewForm::SetSaveDialog([&](QWidget*, const TSaveDialogRequest&) { return saveAs; });
    SetMsgBoxHandler([](const TMsgBoxRequest& request) {
        std::printf("message: %s\n", qPrintable(request.Text));
        return DefaultMsgBoxResult(request.Buttons, request.DefaultButton);
    });
    QTemporaryDir work;
    TVGProj project;
    TFFDecoder decoder;
    if (!decoder.LoadFile(args[1])) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(args[1]));
        return 1;
    }
    project.ReadStreamInfo(&decoder);
    project.VideoFile = QFileInfo(args[1]).absoluteFilePath();
    const QString workFolder = args.contains(QStringLiteral("--work"))
                                   ? args.value(args.indexOf(QStringLiteral("--work")) + 1)
                                   : work.path();
    project.GifFile = workFolder + QStringLiteral("/preview.gif");
    project.CropRect = TRectL{0, 0, project.VideoWidth, project.VideoHeight};
    project.StartPTS = static_cast<int64_t>(args[2].toDouble() * 1e6);
    project.EndPTS = static_cast<int64_t>(args[3].toDouble() * 1e6);
    project.GifFPS = args[4].toInt();
    project.SizeStyle = SizeFromText(args[5]);

    QTimer shooter;
    if (!shots.isEmpty()) {
        QObject::connect(&shooter, &QTimer::timeout, [&] {
            auto* form = FindWindow<TPublishForm>();
            if (form && form->pbProgress->value() >= 30) {
                SaveShot(form, shots + QStringLiteral("/progress.png"));
                shooter.stop();
            }
        });
        shooter.start(20);
    }
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        const bool made = ExecutePublishForm(&project);
        std::printf("round %d: %s in %.3f s, %lld bytes\n", round + 1, made ? "made" : "failed",
                    clock.nsecsElapsed() / 1e9,
                    static_cast<long long>(QFileInfo(project.GifFile).size()));
        if (!made)
            return 1;
    }
    if (!preview)
        return 0;
    int ticks = 0; // of the closer, once the GIF plays: shots after 0.2 s and 0.5 s, end at 0.6 s
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* form = FindWindow<TPreviewForm>();
        if (!form || !form->Gif())
            return;
        ++ticks;
        if (!shots.isEmpty() && (ticks == 4 || ticks == 10))
            SaveShot(form, shots + QStringLiteral("/preview-%1.png").arg(ticks == 4 ? 1 : 2));
        if (ticks < 12)
            return;
        closer.stop();
        if (!saveAs.isEmpty()) {
            form->btnSave->click();
            QFile copy(saveAs), original(project.GifFile);
            const bool same = copy.open(QIODevice::ReadOnly) &&
                              original.open(QIODevice::ReadOnly) &&
                              copy.readAll() == original.readAll();
            std::printf("saved %s: %s\n", qPrintable(saveAs),
                        same ? "same bytes as the converted GIF" : "DIFFERENT");
            if (!shots.isEmpty())
                SaveShot(form, shots + QStringLiteral("/preview-saved.png"));
        }
        form->close(); // unsaved, the question is answered OK by the handler above
    });
    closer.start(50);
    ExecutePreviewForm(&project);
    return 0;
}
