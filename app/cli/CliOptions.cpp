#include "app/cli/CliOptions.h"

#include "decoder/CustomDecoder.h"
#include "engine/Video2Gif.h"
#include "project/GifSizeText.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace {

// The largest side a GIF can have here, and the largest replay count a GIF can store.
constexpr int largestSide = 16384;
constexpr int largestReplays = 65535;
constexpr int largestFps = 100;

// "12.5" (seconds) or "00:01:02.500".
std::optional<int64_t> ReadTime(const QString& text) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (ok)
        return std::isfinite(seconds) && seconds >= 0 && seconds < 1e12
                   ? std::optional<int64_t>(static_cast<int64_t>(std::llround(seconds * 1e6)))
                   : std::nullopt;
    const int64_t pts = StrToPTS(text, 3);
    return pts != AV_NOPTS_VALUE && pts >= 0 ? std::optional<int64_t>(pts) : std::nullopt;
}

// `count` whole numbers separated by ",", "x" or ":".
std::optional<std::vector<int>> ReadInts(const QString& text, int count) {
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[,x:]")));
    if (parts.size() != count)
        return std::nullopt;
    std::vector<int> values;
    for (const QString& part : parts) {
        bool ok = false;
        values.push_back(part.trimmed().toInt(&ok));
        if (!ok)
            return std::nullopt;
    }
    return values;
}

std::optional<int> ReadInt(const QString& text, int lowest, int highest) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= lowest && value <= highest ? std::optional<int>(value) : std::nullopt;
}

// x,y,width,height with a place inside the picture's coordinates and a size of at least 1 × 1.
// The far edges (x + width, y + height) must still be whole numbers the rectangle can hold.
std::optional<QRect> ReadRect(const QString& text) {
    const auto values = ReadInts(text, 4);
    if (!values)
        return std::nullopt;
    const int x = (*values)[0], y = (*values)[1], width = (*values)[2], height = (*values)[3];
    constexpr int largestRectSide = largestSide * 8;
    constexpr int largest = std::numeric_limits<int>::max();
    if (x < 0 || y < 0 || width < 1 || height < 1 || width > largestRectSide ||
        height > largestRectSide || x > largest - width || y > largest - height)
        return std::nullopt;
    return QRect(x, y, width, height);
}

template <typename T>
bool Pick(const QString& text, std::initializer_list<std::pair<const char*, T>> choices, T& out) {
    for (const auto& [name, value] : choices)
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            out = value;
            return true;
        }
    return false;
}

bool ApplyStart(const QString& v, TCliOptions& o) {
    const auto time = ReadTime(v);
    o.StartPTS = time.value_or(0);
    return time.has_value();
}

bool ApplyEnd(const QString& v, TCliOptions& o) {
    o.EndPTS = ReadTime(v);
    return o.EndPTS.has_value();
}

bool ApplySize(const QString& v, TCliOptions& o) {
    if (Pick<TSizeStyle>(v, {{"original", ssOriginal}, {"half", ssHalf}, {"quarter", ssQuarter}},
                         o.SizeStyle))
        return true;
    const auto values = ReadInts(v, 2);
    if (!values || (*values)[0] < 1 || (*values)[1] < 1 || (*values)[0] > largestSide ||
        (*values)[1] > largestSide)
        return false;
    o.SizeStyle = ssCustom;
    o.FinalSize = QSize((*values)[0], (*values)[1]);
    return true;
}

bool ApplyFps(const QString& v, TCliOptions& o) {
    const auto fps = ReadInt(v, 1, largestFps);
    o.Fps = fps.value_or(0);
    return fps.has_value();
}

bool ApplySpeed(const QString& v, TCliOptions& o) {
    bool ok = false;
    o.Speed = v.toDouble(&ok);
    return ok && std::isfinite(o.Speed) && o.Speed >= 0.01 && o.Speed <= 100;
}

bool ApplyReplays(const QString& v, TCliOptions& o) {
    const auto replays = ReadInt(v, -1, largestReplays);
    o.Replays = replays.value_or(0);
    return replays.has_value();
}

bool ApplyCrop(const QString& v, TCliOptions& o) {
    o.Crop = ReadRect(v);
    return o.Crop.has_value();
}

bool ApplyFlip(const QString& v, TCliOptions& o) {
    return Pick<TFlipMode>(v,
                           {{"none", fmNone},
                            {"horizontal", fmHorizontal},
                            {"h", fmHorizontal},
                            {"vertical", fmVertical},
                            {"v", fmVertical},
                            {"both", fmBoth}},
                           o.Flip);
}

bool ApplyRotate(const QString& v, TCliOptions& o) {
    return Pick<int>(v, {{"0", 0}, {"90", 1}, {"180", 2}, {"270", 3}}, o.QuarterTurns);
}

bool ApplyOrder(const QString& v, TCliOptions& o) {
    return Pick<TFrameOrder>(v,
                             {{"original", foOriginal},
                              {"reverse", foReverse},
                              {"pingpong", foPingPong},
                              {"ping-pong", foPingPong}},
                             o.Order);
}

bool ApplyLoopEnd(const QString& v, TCliOptions& o) {
    o.LoopEnd = v == QLatin1String("auto");
    return o.LoopEnd;
}

bool ApplyLoopStart(const QString& v, TCliOptions& o) {
    o.LoopStart = v == QLatin1String("auto");
    return o.LoopStart;
}

bool ApplyMaxFrames(const QString& v, TCliOptions& o) {
    const auto count = ReadInt(v, 1, 100000);
    o.MaxFrames = count.value_or(0);
    return count.has_value();
}

bool ApplyQuality(const QString& v, TCliOptions& o) {
    const auto quality = ReadInt(v, 1, 100);
    o.Quality = quality.value_or(DefaultGifQuality);
    return quality.has_value();
}

// A size limit must leave room for the smallest GIF; 0 (no limit) is not asked for this way.
bool ApplyFormat(const QString& v, TCliOptions& o) {
    const std::optional<TOutputFormat> format = FormatNamed(v.trimmed());
    o.Format = format.value_or(TOutputFormat::Gif);
    o.FormatGiven = format.has_value();
    return format.has_value();
}

bool ApplyMaxSize(const QString& v, TCliOptions& o) {
    const std::optional<int64_t> bytes = ParseGifSize(v);
    o.MaxSize = bytes.value_or(0);
    return bytes && *bytes > 0 && CheckGifSizeLimit(*bytes).isEmpty();
}

bool ApplyCaption(const QString& v, TCliOptions& o) {
    const qsizetype colon = v.indexOf(QLatin1Char(':'));
    const auto point = colon < 0 ? std::nullopt : ReadInts(v.left(colon), 2);
    if (!point)
        return false;
    QString text = v.mid(colon + 1);
    text.replace(QLatin1String("\\n"), QLatin1String("\n"));
    o.Captions.push_back({(*point)[0], (*point)[1], text});
    return true;
}

bool ApplyFont(const QString& v, TCliOptions& o) {
    o.FontName = v.trimmed();
    return !o.FontName.isEmpty();
}

bool ApplyFontSize(const QString& v, TCliOptions& o) {
    const auto size = ReadInt(v, 1, 1000);
    o.FontSize = size.value_or(0);
    return size.has_value();
}

bool ApplyColor(const QString& v, TCliOptions& o) {
    o.Color = QColor::fromString(v);
    return o.Color.isValid();
}

bool ApplyAlign(const QString& v, TCliOptions& o) {
    return Pick<TTextAlignment>(
        v, {{"left", taLeft}, {"right", taRight}, {"center", taCenter}, {"centre", taCenter}},
        o.Align);
}

bool ApplyLogo(const QString& v, TCliOptions& o) {
    o.LogoFile = v;
    QImageReader reader(v);
    return QFileInfo(v).isFile() && reader.canRead();
}

bool ApplyLogoRect(const QString& v, TCliOptions& o) {
    o.LogoRect = ReadRect(v);
    return o.LogoRect.has_value();
}

// One option: its names, the name of its value (none for a switch), its help, its default, what
// a usable value is, and how it is stored.
struct TOptionEntry {
    QStringList Names;
    const char* ValueName;
    const char* Help;
    const char* Default;
    const char* Expected;
    bool (*Apply)(const QString& value, TCliOptions& options);
    bool TCliOptions::*Switch;
};

// Every option of the converter, in the order the help lists them.
const std::vector<TOptionEntry> optionTable = {
    {{"s", "start"},
     "time",
     "Clip start: seconds or hh:mm:ss.fff.",
     "0",
     "a time (seconds or hh:mm:ss.fff)",
     ApplyStart,
     nullptr},
    {{"e", "end"},
     "time",
     "Clip end, not included (as FFmpeg's -to): seconds or hh:mm:ss.fff. Default: the end of "
     "the video.",
     nullptr,
     "a time (seconds or hh:mm:ss.fff)",
     ApplyEnd,
     nullptr},
    {{"size"},
     "size",
     "original, half, quarter, or the GIF's final size WxH (after --rotate).",
     "half",
     "original, half, quarter or WxH (1 to 16384 each)",
     ApplySize,
     nullptr},
    {{"fps"},
     "n",
     "Frames taken per second of video, 1 to 100. The GIF plays at this rate times --speed "
     "(at most 50 frames per second of playback).",
     "8",
     "a whole number from 1 to 100",
     ApplyFps,
     nullptr},
    {{"speed"},
     "factor",
     "Playback speed factor, 0.01 to 100.",
     "1.0",
     "a number from 0.01 to 100",
     ApplySpeed,
     nullptr},
    {{"replays"},
     "n",
     "-1 loops forever, 0 plays once, n replays n more times.",
     "-1",
     "a whole number from -1 to 65535",
     ApplyReplays,
     nullptr},
    {{"crop"},
     "rect",
     "Crop rectangle in video pixels: x,y,width,height.",
     nullptr,
     "x,y,width,height (x, y 0 or more; width, height 1 or more)",
     ApplyCrop,
     nullptr},
    {{"flip"},
     "how",
     "none, horizontal, vertical or both.",
     "none",
     "none, horizontal, vertical or both",
     ApplyFlip,
     nullptr},
    {{"rotate"},
     "degrees",
     "Clockwise turn: 0, 90, 180 or 270.",
     "0",
     "0, 90, 180 or 270",
     ApplyRotate,
     nullptr},
    {{"order"},
     "order",
     "original, reverse or pingpong.",
     "original",
     "original, reverse or pingpong",
     ApplyOrder,
     nullptr},
    {{"loop-end"},
     "auto",
     "auto: the end is moved to the frame within 3 s of it most like the start frame, so the GIF "
     "loops without a jump; the end chosen is printed.",
     nullptr,
     "auto",
     ApplyLoopEnd,
     nullptr},
    {{"loop-start"},
     "auto",
     "auto: the start is moved to the frame within 3 s of it most like the end frame.",
     nullptr,
     "auto",
     ApplyLoopStart,
     nullptr},
    {{"trim-still"},
     nullptr,
     "Leaves out the frames at the start and at the end that do not change.",
     nullptr,
     nullptr,
     nullptr,
     &TCliOptions::TrimStill},
    {{"max-frames"},
     "n",
     "Most frames the GIF holds.",
     "1000",
     "a whole number from 1 to 100000",
     ApplyMaxFrames,
     nullptr},
    {{"quality"},
     "1..100",
     "Fidelity against file size: 1 gives the smallest file, 100 the most faithful (each format on "
     "its own scale).",
     "90",
     "a whole number from 1 to 100",
     ApplyQuality,
     nullptr},
    {{"format"},
     "format",
     "What is made of the clip: gif, webp (animated WebP) or mp4 (H.264 video). Default: from the "
     "output file's extension.",
     nullptr,
     "gif, webp or mp4",
     ApplyFormat,
     nullptr},
    {{"max-size"},
     "size",
     "The largest the file may be, e.g. 8M: K and M are 1000 and 1,000,000 bytes (as upload limits "
     "are stated), KiB and MiB 1024 and 1,048,576; a plain number is bytes. Quality, then frame "
     "rate, then size are lowered as little as needed to fit. Default: no limit.",
     nullptr,
     "a file size of at least 64 bytes, such as 8M, 2.5MB, 500K, 8MiB or 8000000",
     ApplyMaxSize,
     nullptr},
    {{"caption"},
     "caption",
     "A caption at video pixel X,Y: \"X,Y:text\" (\\n starts a new line). May be repeated.",
     nullptr,
     "X,Y:text",
     ApplyCaption,
     nullptr},
    {{"font"}, "family", "Caption font family.", "Arial", "a font family name", ApplyFont, nullptr},
    {{"font-size"},
     "size",
     "Caption font size.",
     "14",
     "a whole number from 1 to 1000",
     ApplyFontSize,
     nullptr},
    {{"color"},
     "colour",
     "Caption colour: a name or #RRGGBB.",
     "white",
     "a colour name or #RRGGBB",
     ApplyColor,
     nullptr},
    {{"bold"}, nullptr, "Bold captions.", nullptr, nullptr, nullptr, &TCliOptions::Bold},
    {{"italic"}, nullptr, "Italic captions.", nullptr, nullptr, nullptr, &TCliOptions::Italic},
    {{"align"},
     "how",
     "Captions start at (left), end at (right) or are centred on (center) their point.",
     "left",
     "left, right or center",
     ApplyAlign,
     nullptr},
    {{"logo"},
     "file",
     "A logo picture drawn into --logo-rect.",
     nullptr,
     "a picture file that can be read",
     ApplyLogo,
     nullptr},
    {{"logo-rect"},
     "rect",
     "The logo's place in video pixels: x,y,width,height.",
     nullptr,
     "x,y,width,height (x, y 0 or more; width, height 1 or more)",
     ApplyLogoRect,
     nullptr},
    {{"q", "quiet"}, nullptr, "No progress bar.", nullptr, nullptr, nullptr, &TCliOptions::Quiet},
    {{"estimate"},
     nullptr,
     "Print the GIF's estimated size, frames and length (and what --max-size would choose) "
     "without writing it.",
     nullptr,
     nullptr,
     nullptr,
     &TCliOptions::Estimate},
};

QString LongName(const TOptionEntry& entry) {
    return QLatin1String("--") + entry.Names.last();
}

// Options that need one another, and the clip's bounds.
QString CheckCombinations(const TCliOptions& o) {
    if (o.EndPTS && *o.EndPTS <= o.StartPTS)
        return QStringLiteral("--end (%1) must come after --start (%2)")
            .arg(FormatPTS(*o.EndPTS, 3), FormatPTS(o.StartPTS, 3));
    if (o.EndPTS)
        if (QString problem = CheckClipLength(o.StartPTS, *o.EndPTS, o.Fps, o.Speed, true);
            !problem.isEmpty())
            return problem;
    // Cutting the crop to the picture can only make it smaller.
    if (o.Crop)
        if (QString problem = CheckScaledSize(o.Crop->size(), o.SizeStyle, true);
            !problem.isEmpty())
            return problem;
    if (!o.LogoFile.isEmpty() && !o.LogoRect)
        return QStringLiteral("--logo needs the logo's place: --logo-rect x,y,width,height");
    if (o.LogoFile.isEmpty() && o.LogoRect)
        return QStringLiteral("--logo-rect needs a picture: --logo file");
    return {};
}

TCliParse UsageError(const QString& text) {
    TCliParse result;
    result.Action = TCliAction::Usage;
    result.Error = text;
    return result;
}

} // namespace

TCliParse ParseCliArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    for (const TOptionEntry& entry : optionTable)
        parser.addOption(entry.ValueName ? QCommandLineOption(entry.Names, QString(),
                                                              QLatin1String(entry.ValueName))
                                         : QCommandLineOption(entry.Names));
    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    TCliParse result;
    if (parser.isSet(help) || parser.isSet(version)) {
        result.Action = parser.isSet(help) ? TCliAction::Help : TCliAction::Version;
        return result;
    }
    TCliOptions& options = result.Options;
    for (const TOptionEntry& entry : optionTable) {
        const QString name = entry.Names.last();
        if (entry.Switch) {
            options.*(entry.Switch) = parser.isSet(name);
            continue;
        }
        QStringList values = parser.values(name);
        if (values.isEmpty() && entry.Default)
            values.append(QLatin1String(entry.Default));
        for (const QString& value : values)
            if (!entry.Apply(value, options))
                return UsageError(QStringLiteral("%1: \"%2\" is not %3")
                                      .arg(LongName(entry), value, QLatin1String(entry.Expected)));
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return UsageError(QStringLiteral("give the source video and the GIF file to write (or - "
                                         "for standard output)"));
    // An empty name names no file: refused here, before any work, as any other unusable value.
    if (files[0].isEmpty() || files[1].isEmpty())
        return UsageError(QStringLiteral("the names of the source video and the GIF file must not "
                                         "be empty"));
    options.VideoFile = files[0];
    options.ToStdout = files[1] == QLatin1String("-");
    if (!options.ToStdout)
        options.GifFile = QFileInfo(files[1]).absoluteFilePath();
    if (!options.FormatGiven && !options.ToStdout) {
        const std::optional<TOutputFormat> format = FormatOfFile(files[1]);
        if (!format)
            return UsageError(
                QStringLiteral("the output file \"%1\" has no extension of a format "
                               "this program makes (%2); name it so, or give --format")
                    .arg(files[1], FormatList()));
        options.Format = *format;
    }
    if (const QString problem = CheckCombinations(options); !problem.isEmpty())
        return UsageError(problem);
    result.Action = TCliAction::Convert;
    return result;
}

QString CheckClipLength(int64_t start, int64_t end, int fps, double speed, bool endGiven) {
    const double rate = EffectiveFrameRate(fps, speed);
    if (rate <= 0 || static_cast<double>(end - start) * rate >= 1e6)
        return {};
    const QString clip = endGiven ? QStringLiteral("--start %1 to --end %2")
                                  : QStringLiteral("--start %1 to the video's end (%2)");
    return QStringLiteral("the clip from %1 is shorter than one frame at %3 frames per second "
                          "(%4 s): it would hold no frame")
        .arg(clip.arg(FormatPTS(start, 3), FormatPTS(end, 3)), QString::number(rate, 'g', 4),
             QString::number(1.0 / rate, 'g', 3));
}

QString CheckScaledSize(const QSize& base, TSizeStyle style, bool cropped) {
    const double scale = style == ssHalf ? 0.5 : style == ssQuarter ? 0.25 : 1.0;
    const QSize size = ComputeOutputSize(base, scale, 0, 0);
    if (style == ssCustom || (size.width() >= 1 && size.height() >= 1))
        return {};
    const QString name = style == ssHalf ? QStringLiteral("half") : QStringLiteral("quarter");
    return QStringLiteral("%1 (%2 × %3) at --size %4 leaves no pixel (%5 × %6); choose %7")
        .arg(cropped ? QStringLiteral("--crop") : QStringLiteral("the video's picture"))
        .arg(base.width())
        .arg(base.height())
        .arg(name)
        .arg(size.width())
        .arg(size.height())
        .arg(cropped ? QStringLiteral("a larger --crop or --size")
                     : QStringLiteral("a larger --size"));
}

QString CliHelpText() {
    QString text = QStringLiteral(
        "Usage: gifclipmaker-cli [options] VIDEO GIF\n"
        "Converts a clip of a video into an animated GIF. With - as the GIF, the GIF goes to "
        "standard output.\n\nOptions:\n");
    for (const TOptionEntry& entry : optionTable) {
        QString names;
        for (const QString& name : entry.Names)
            names += (names.isEmpty() ? QString() : QStringLiteral(", ")) +
                     (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
        if (entry.ValueName)
            names += QLatin1String(" <") + QLatin1String(entry.ValueName) + QLatin1Char('>');
        QString line = QStringLiteral("  %1\n      %2").arg(names, QLatin1String(entry.Help));
        if (entry.Default)
            line += QStringLiteral(" Default: %1.").arg(QLatin1String(entry.Default));
        text += line + QLatin1Char('\n');
    }
    text += QStringLiteral("  -h, --help\n      This help.\n"
                           "  --version\n      The converter's version.\n\n"
                           "Exit codes:\n"
                           "  0    the GIF was written\n"
                           "  1    the conversion failed (the video cannot be read, the disk is "
                           "full, ...)\n"
                           "  2    the command line cannot be used (an unknown option, a value "
                           "out of range, a missing file, ...)\n"
                           "  130  stopped by SIGINT (Ctrl+C); nothing was written\n"
                           "  143  stopped by SIGTERM; nothing was written\n");
    return text;
}

QString CliVersionText() {
    return QStringLiteral("gifclipmaker-cli %1.%2.%3.%4\n")
        .arg(VG_VERSION_MAJOR)
        .arg(VG_VERSION_MINOR)
        .arg(VG_VERSION_PATCH)
        .arg(VG_VERSION_TWEAK);
}
