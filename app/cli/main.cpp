// gifclipmaker-cli: converts a clip of a video into an animated GIF without a window. It fills a
// project as the program's dialogs do, and the project starts the same engine.

#include "common/Messages.h"
#include "decoder/FFDecoder.h"
#include "engine/Video2Gif.h"
#include "project/VGProject.h"

#include <QColor>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// The converter needs no per-user runtime folder; Qt's note that it made one up would only
// confuse people reading the converter's output. Other messages pass as usual.
QtMessageHandler previousHandler = nullptr;
void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (previousHandler)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, text)));
}

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

// Receives the engine's messages and ends the event loop at the end or an error.
class TReceiver : public QObject {
public:
    explicit TReceiver(bool showProgress) : FShowProgress(showProgress) {}
    bool event(QEvent* event) override;
    QEventLoop Loop;
    bool Finished = false;
    QString Error;
    qint64 Frames = 0, MaxFrames = 0;

private:
    bool FShowProgress;
};

void DrawProgress(int percent) {
    const int width = 40;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent);
    std::fflush(stderr);
}

bool TReceiver::event(QEvent* event) {
    auto* message = dynamic_cast<TMessageEvent*>(event);
    if (!message)
        return QObject::event(event);
    switch (message->Message()) {
    case Msg::ConvertProgress:
        if (FShowProgress)
            DrawProgress(static_cast<int>(message->WParam & 0xFFFF));
        break;
    case Msg::ConvertFinished:
        Finished = true;
        Frames = message->WParam;
        MaxFrames = message->LParam;
        Loop.quit();
        break;
    case Msg::ConvertError:
        Error = message->Text;
        Loop.quit();
        break;
    default:
        break;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // Frames are drawn in memory only; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(FilterQtMessages);
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
    const QCommandLineOption caption(QStringLiteral("caption"),
                                     QStringLiteral("A caption at video pixel X,Y: \"X,Y:text\" "
                                                    "(\\n starts a new line). May be repeated."),
                                     QStringLiteral("caption"));
    const QCommandLineOption font(QStringLiteral("font"),
                                  QStringLiteral("Caption font family (Arial)."),
                                  QStringLiteral("family"), QStringLiteral("Arial"));
    const QCommandLineOption fontSize(QStringLiteral("font-size"),
                                      QStringLiteral("Caption font size (14)."),
                                      QStringLiteral("size"), QStringLiteral("14"));
    const QCommandLineOption color(QStringLiteral("color"),
                                   QStringLiteral("Caption colour: a name or #RRGGBB (white)."),
                                   QStringLiteral("colour"), QStringLiteral("white"));
    const QCommandLineOption bold(QStringLiteral("bold"), QStringLiteral("Bold captions."));
    const QCommandLineOption italic(QStringLiteral("italic"), QStringLiteral("Italic captions."));
    const QCommandLineOption align(QStringLiteral("align"),
                                   QStringLiteral("Captions start at (left), end at (right) or are "
                                                  "centred on (center) their point (left)."),
                                   QStringLiteral("how"), QStringLiteral("left"));
    const QCommandLineOption logo(QStringLiteral("logo"),
                                  QStringLiteral("A logo picture drawn into --logo-rect."),
                                  QStringLiteral("file"));
    const QCommandLineOption logoRect(QStringLiteral("logo-rect"),
                                      QStringLiteral("The logo's place in video pixels: "
                                                     "x,y,width,height."),
                                      QStringLiteral("rect"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No progress bar."));
    parser.addOptions({start, end,    size,   fps,       speed,   replays,  crop,
                       flip,  rotate, order,  maxFrames, caption, font,     fontSize,
                       color, bold,   italic, align,     logo,    logoRect, quiet});
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
        request.Flip = fmNone;
    else if (flipText == QLatin1String("horizontal") || flipText == QLatin1String("h"))
        request.Flip = fmHorizontal;
    else if (flipText == QLatin1String("vertical") || flipText == QLatin1String("v"))
        request.Flip = fmVertical;
    else if (flipText == QLatin1String("both"))
        request.Flip = fmBoth;
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
        request.Sequence = foOriginal;
    else if (orderText == QLatin1String("reverse"))
        request.Sequence = foReverse;
    else if (orderText == QLatin1String("pingpong") || orderText == QLatin1String("ping-pong"))
        request.Sequence = foPingPong;
    else
        return Usage(QStringLiteral("the order \"%1\" is not original, reverse or pingpong")
                         .arg(parser.value(order)));

    // The project: what the program's dialogs would have set.
    TVGProj project([&request] {
        TProjectDefaults defaults;
        defaults.GifMaxFrame = request.GifMaxFrame;
        return defaults;
    });
    TFFDecoder decoder;
    decoder.LoadAVLib(QString());
    decoder.LoadFile(request.VideoFile);
    project.ReadStreamInfo(&decoder);
    if (!project.IsVideoValid()) {
        std::fprintf(stderr,
                     "gifclipmaker-cli: the video file \"%s\" cannot be opened or holds no "
                     "video.\n",
                     qUtf8Printable(request.VideoFile));
        return 1;
    }
    decoder.CloseFile();
    project.VideoFile = request.VideoFile;
    project.GifFile = request.GifFile;
    project.StartPTS = request.StartPTS;
    project.EndPTS =
        parser.isSet(end) ? request.EndPTS : std::max(project.Duration, request.StartPTS + 1);
    project.CropEnabled = request.CropEnabled;
    project.CropRect = request.CropEnabled ? request.CropRect
                                           : TRectL{0, 0, project.VideoWidth, project.VideoHeight};
    project.SizeStyle = request.SizeScale < 0      ? ssCustom
                        : request.SizeScale == 1.0 ? ssOriginal
                        : request.SizeScale == 0.5 ? ssHalf
                                                   : ssQuarter;
    project.CustomWidth = request.CustomWidth;
    project.CustomHeight = request.CustomHeight;
    project.GifFPS = request.GifFPS;
    project.GifSpeed = request.GifSpeed;
    project.GifLoop = request.GifLoop;
    project.Flip = request.Flip;
    project.Rotate = request.Rotate;
    project.Sequence = request.Sequence;

    const QColor textColor(parser.value(color));
    if (!textColor.isValid())
        return Usage(QStringLiteral("the colour \"%1\" is not a colour").arg(parser.value(color)));
    const int captionSize = parser.value(fontSize).toInt(&ok);
    if (!ok || captionSize <= 0)
        return Usage(QStringLiteral("the font size \"%1\" is not a whole number above 0")
                         .arg(parser.value(fontSize)));
    const QString alignText = parser.value(align).toLower();
    const int alignment = alignText == QLatin1String("left")     ? 0
                          : alignText == QLatin1String("right")  ? 1
                          : alignText == QLatin1String("center") ? 2
                                                                 : -1;
    if (alignment < 0)
        return Usage(QStringLiteral("the alignment \"%1\" is not left, right or center")
                         .arg(parser.value(align)));
    const QStringList captions = parser.values(caption);
    for (const QString& value : captions) {
        const qsizetype colon = value.indexOf(QLatin1Char(':'));
        if (colon < 0 || !ParseInts(value.left(colon), 2, values))
            return Usage(QStringLiteral("the caption \"%1\" is not X,Y:text").arg(value));
        TTextObj* text = project.Texts.Add();
        text->X = values[0];
        text->Y = values[1];
        text->Text = value.mid(colon + 1).replace(QLatin1String("\\n"), QLatin1String("\n"));
        text->FontName = parser.value(font);
        text->FontSize = captionSize;
        text->FontColor = textColor.red() | (textColor.green() << 8) | (textColor.blue() << 16);
        text->FontStyles =
            (parser.isSet(bold) ? fsBoldBit : 0) | (parser.isSet(italic) ? fsItalicBit : 0);
        text->Alignment = static_cast<TTextAlignment>(alignment);
    }
    if (parser.isSet(logo)) {
        if (!QFileInfo::exists(parser.value(logo)) || QImage(parser.value(logo)).isNull())
            return Usage(
                QStringLiteral("the logo \"%1\" is not a picture file").arg(parser.value(logo)));
        if (!ParseInts(parser.value(logoRect), 4, values))
            return Usage(QStringLiteral("give the logo's place with --logo-rect x,y,width,height"));
        project.Logo.Enabled = true;
        project.Logo.FileName = parser.value(logo);
        project.Logo.X = values[0];
        project.Logo.Y = values[1];
        project.Logo.Width = values[2];
        project.Logo.Height = values[3];
    }

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    // The bar redraws itself in place: only on a terminal.
    const bool showProgress = !parser.isSet(quiet) && ::isatty(STDERR_FILENO);
    TReceiver receiver(showProgress);
    std::unique_ptr<TVideo2GifThread> thread = project.StartConversion(&receiver);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (interrupted) {
            thread->Terminate();
            receiver.Loop.quit();
        }
    });
    watch.start(50);
    receiver.Loop.exec();
    thread->wait();
    if (showProgress)
        std::fprintf(stderr, "\n");
    if (interrupted && !receiver.Finished) {
        std::fprintf(stderr, "gifclipmaker-cli: stopped; nothing was written.\n");
        return 130;
    }
    if (!receiver.Finished) {
        std::fprintf(stderr, "gifclipmaker-cli: %s\n", qUtf8Printable(receiver.Error));
        return 1;
    }
    const TConversionResult& result = thread->Result();
    std::printf("%s: %d × %d, %d frames (%d images)%s\n", qUtf8Printable(request.GifFile),
                result.Width, result.Height, result.FramesWritten, result.ImagesWritten,
                receiver.Frames >= receiver.MaxFrames ? " - the maximum frame count was reached"
                                                      : "");
    return 0;
}
