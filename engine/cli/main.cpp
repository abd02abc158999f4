// gifclipmaker-cli: converts a clip of a video into an animated GIF without a window, with the
// same engine the program uses.

#include "decoder/CustomDecoder.h"
#include "engine/FramePlan.h"
#include "engine/Video2Gif.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
    interrupted = true;
}

// "12.5" (seconds) or "00:01:02.500".
bool ParseTime(const QString& text, int64_t& pts) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (ok && seconds >= 0) {
        pts = static_cast<int64_t>(seconds * 1e6 + 0.5);
        return true;
    }
    pts = StrToPTS(text, 3);
    return pts != AV_NOPTS_VALUE && pts >= 0;
}

bool ParseInts(const QString& text, int count, std::vector<int>& values) {
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[,x:]")));
    if (parts.size() != count)
        return false;
    values.clear();
    for (const QString& part : parts) {
        bool ok = false;
        values.push_back(part.trimmed().toInt(&ok));
        if (!ok)
            return false;
    }
    return true;
}

int Usage(const QString& message) {
    std::fprintf(stderr, "gifclipmaker-cli: %s\nTry --help.\n", qUtf8Printable(message));
    return 2;
}

void DrawProgress(int percent) {
    const int width = 40;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char* argv[]) {
    // Frames are drawn in memory only; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gifclipmaker-cli"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts a clip of a video into an animated GIF."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("video"), QStringLiteral("The source video."));
    parser.addPositionalArgument(QStringLiteral("gif"), QStringLiteral("The GIF file to write."));
    const QCommandLineOption start({QStringLiteral("s"), QStringLiteral("start")},
                                   QStringLiteral("Clip start: seconds or hh:mm:ss.fff (0)."),
                                   QStringLiteral("time"), QStringLiteral("0"));
    const QCommandLineOption end({QStringLiteral("e"), QStringLiteral("end")},
                                 QStringLiteral("Clip end (default: the end of the video)."),
                                 QStringLiteral("time"));
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("original, half, quarter or WxH (half)."),
                                  QStringLiteral("size"), QStringLiteral("half"));
    const QCommandLineOption fps(QStringLiteral("fps"),
                                 QStringLiteral("Frames per second of the GIF (8)."),
                                 QStringLiteral("n"), QStringLiteral("8"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Playback speed factor (1.0)."),
                                   QStringLiteral("factor"), QStringLiteral("1.0"));
    const QCommandLineOption replays(QStringLiteral("replays"),
                                     QStringLiteral("-1 loops forever, 0 plays once, n replays n "
                                                    "more times (-1)."),
                                     QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption crop(
        QStringLiteral("crop"), QStringLiteral("Crop rectangle in video pixels: x,y,width,height."),
        QStringLiteral("rect"));
    const QCommandLineOption flip(QStringLiteral("flip"),
                                  QStringLiteral("none, horizontal, vertical or both (none)."),
                                  QStringLiteral("how"), QStringLiteral("none"));
    const QCommandLineOption rotate(QStringLiteral("rotate"),
                                    QStringLiteral("Clockwise degrees: 0, 90, 180 or 270 (0)."),
                                    QStringLiteral("degrees"), QStringLiteral("0"));
    const QCommandLineOption order(QStringLiteral("order"),
                                   QStringLiteral("original, reverse or pingpong (original)."),
                                   QStringLiteral("order"), QStringLiteral("original"));
    const QCommandLineOption maxFrames(QStringLiteral("max-frames"),
                                       QStringLiteral("Most frames to write (1000)."),
                                       QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No progress bar."));
    parser.addOptions(
        {start, end, size, fps, speed, replays, crop, flip, rotate, order, maxFrames, quiet});
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return Usage(QStringLiteral("give the source video and the GIF file to write"));

    TVGConvertFlag request;
    request.VideoFile = files[0];
    request.GifFile = QFileInfo(files[1]).absoluteFilePath();
    if (!ParseTime(parser.value(start), request.StartPTS))
        return Usage(
            QStringLiteral("the start time \"%1\" is not a time").arg(parser.value(start)));
    if (parser.isSet(end)) {
        if (!ParseTime(parser.value(end), request.EndPTS))
            return Usage(
                QStringLiteral("the end time \"%1\" is not a time").arg(parser.value(end)));
    } else {
        request.EndPTS = std::numeric_limits<int64_t>::max() / 2;
    }

    const QString sizeText = parser.value(size).toLower();
    std::vector<int> values;
    if (sizeText == QLatin1String("original"))
        request.SizeScale = 1.0;
    else if (sizeText == QLatin1String("half"))
        request.SizeScale = 0.5;
    else if (sizeText == QLatin1String("quarter"))
        request.SizeScale = 0.25;
    else if (ParseInts(sizeText, 2, values)) {
        request.SizeScale = -1.0;
        request.CustomWidth = values[0];
        request.CustomHeight = values[1];
    } else
        return Usage(QStringLiteral("the size \"%1\" is not original, half, quarter or WxH")
                         .arg(parser.value(size)));

    bool ok = false;
    request.GifFPS = parser.value(fps).toInt(&ok);
    if (!ok)
        return Usage(
            QStringLiteral("the frame rate \"%1\" is not a whole number").arg(parser.value(fps)));
    request.GifSpeed = parser.value(speed).toDouble(&ok);
    if (!ok)
        return Usage(QStringLiteral("the speed \"%1\" is not a number").arg(parser.value(speed)));
    request.GifLoop = parser.value(replays).toInt(&ok);
    if (!ok || request.GifLoop < -1)
        return Usage(
            QStringLiteral("the replay count \"%1\" is not -1 or more").arg(parser.value(replays)));
    request.GifMaxFrame = parser.value(maxFrames).toInt(&ok);
    if (!ok)
        return Usage(QStringLiteral("the frame count \"%1\" is not a whole number")
                         .arg(parser.value(maxFrames)));
    if (parser.isSet(crop)) {
        if (!ParseInts(parser.value(crop), 4, values))
            return Usage(QStringLiteral("the crop rectangle \"%1\" is not x,y,width,height")
                             .arg(parser.value(crop)));
        request.CropEnabled = true;
        request.CropRect = {values[0], values[1], values[0] + values[2], values[1] + values[3]};
    }
    const QString flipText = parser.value(flip).toLower();
    if (flipText == QLatin1String("none"))
        request.Flip = 0;
    else if (flipText == QLatin1String("horizontal") || flipText == QLatin1String("h"))
        request.Flip = 1;
    else if (flipText == QLatin1String("vertical") || flipText == QLatin1String("v"))
        request.Flip = 2;
    else if (flipText == QLatin1String("both"))
        request.Flip = 3;
    else
        return Usage(QStringLiteral("the flip \"%1\" is not none, horizontal, vertical or both")
                         .arg(parser.value(flip)));
    const int degrees = parser.value(rotate).toInt(&ok);
    if (!ok || degrees % 90 != 0 || degrees < 0 || degrees > 270)
        return Usage(QStringLiteral("the rotation \"%1\" is not 0, 90, 180 or 270")
                         .arg(parser.value(rotate)));
    request.Rotate = static_cast<uint8_t>(degrees / 90);
    const QString orderText = parser.value(order).toLower();
    if (orderText == QLatin1String("original"))
        request.Sequence = 0;
    else if (orderText == QLatin1String("reverse"))
        request.Sequence = 1;
    else if (orderText == QLatin1String("pingpong") || orderText == QLatin1String("ping-pong"))
        request.Sequence = 2;
    else
        return Usage(QStringLiteral("the order \"%1\" is not original, reverse or pingpong")
                         .arg(parser.value(order)));

    // Without an end the clip runs to the end of the video.
    if (!parser.isSet(end)) {
        // The engine stops at the last frame; an end far away is the whole rest of the video.
        request.EndPTS = std::max<int64_t>(request.StartPTS + 1, request.EndPTS);
    }

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    const bool showProgress = !parser.isSet(quiet);
    const TConversionResult result = RunConversion(
        request,
        [&](int percent) {
            if (showProgress)
                DrawProgress(percent);
        },
        interrupted);
    if (showProgress)
        std::fprintf(stderr, "\n");
    if (result.Cancelled) {
        std::fprintf(stderr, "gifclipmaker-cli: stopped; nothing was written.\n");
        return 130;
    }
    if (!result.Ok) {
        std::fprintf(stderr, "gifclipmaker-cli: %s\n", qUtf8Printable(result.Error));
        return 1;
    }
    std::printf("%s: %d × %d, %d frames (%d images)\n", qUtf8Printable(request.GifFile),
                result.Width, result.Height, result.FramesWritten, result.ImagesWritten);
    return 0;
}
