// The command-line converter: filling the project from options on real videos, and the staged
// converter run as a process (exit codes, what it refuses to overwrite, standard output, stops).

#include "app/cli/CliProject.h"
#include "app/cli/CliRun.h"
#include "decoder/FFDecoder.h"
#include "engine/Video2Gif.h"
#include "project/VGProject.h"
#include "tests/support/GifDecode.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

namespace {

const QString converter = QStringLiteral(VG_PROGRAM_DIR "/gifclipmaker-cli");
const QString bear = QStringLiteral(VG_MEDIA_DIR "/bear-theora-320x180.ogv");
const QString bunny = QStringLiteral(VG_MEDIA_DIR "/bbb-h264-854x480-30s.mp4");

TCliOptions Options(const QString& video) {
    TCliOptions options;
    options.VideoFile = video;
    return options;
}

TFillOutcome Fill(const TCliOptions& options, TVGProj& project) {
    TFFDecoder decoder;
    return FillProject(options, QStringLiteral("/tmp/unused.gif"), project, decoder);
}

struct TRun {
    int ExitCode = -1;
    QByteArray Out, Err;
};

TRun RunConverter(const QStringList& arguments) {
    QProcess process;
    process.start(converter, arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// Whether the process has `fileName` open (read from its descriptors in /proc).
bool HoldsOpen(qint64 pid, const QString& fileName) {
    const QString target = QFileInfo(fileName).canonicalFilePath();
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(pid));
    const QStringList entries = descriptors.entryList(QDir::AllEntries | QDir::System);
    return std::any_of(entries.begin(), entries.end(), [&](const QString& entry) {
        return QFileInfo(descriptors.filePath(entry)).symLinkTarget() == target;
    });
}

QByteArray Digest(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

TEST(CliFill, ClipEndIsExclusiveAndDefaultsToTheVideosEnd) {
    TVGProj project([] { return TProjectDefaults(); });
    TCliOptions options = Options(bunny);
    options.StartPTS = 5000000;
    options.EndPTS = 7000000;
    ASSERT_EQ(Fill(options, project).ExitCode, ecDone);
    EXPECT_EQ(project.StartPTS, 5000000);
    EXPECT_EQ(project.EndPTS, 6999999);

    TVGProj whole([] { return TProjectDefaults(); });
    ASSERT_EQ(Fill(Options(bunny), whole).ExitCode, ecDone);
    EXPECT_GT(whole.Duration, 29000000);
    EXPECT_EQ(whole.EndPTS, whole.Duration - 1);

    TVGProj late([] { return TProjectDefaults(); });
    options.StartPTS = 40000000;
    options.EndPTS.reset();
    const TFillOutcome outcome = Fill(options, late);
    EXPECT_EQ(outcome.ExitCode, ecUsage);
    EXPECT_TRUE(outcome.Error.contains(QStringLiteral("--start")));
}

TEST(CliFill, CropIsCutToThePictureWithAWarning) {
    TCliOptions options = Options(bear);
    options.Crop = QRect(300, 150, 100, 100);
    TVGProj project([] { return TProjectDefaults(); });
    const TFillOutcome outcome = Fill(options, project);
    ASSERT_EQ(outcome.ExitCode, ecDone);
    ASSERT_EQ(outcome.Warnings.size(), 1);
    EXPECT_TRUE(outcome.Warnings[0].contains(QStringLiteral("300,150,20,30")));
    EXPECT_TRUE(project.CropEnabled);
    EXPECT_EQ(project.CropRect, (TRectL{300, 150, 320, 180}));

    options.Crop = QRect(10, 10, 100, 100); // inside: no warning
    TVGProj inside([] { return TProjectDefaults(); });
    EXPECT_TRUE(Fill(options, inside).Warnings.isEmpty());

    options.Crop = QRect(400, 10, 50, 50); // wholly outside
    TVGProj outside([] { return TProjectDefaults(); });
    EXPECT_EQ(Fill(options, outside).ExitCode, ecUsage);
}

// What needs the video's length and size is refused once they are read, before any converting.
TEST(CliFill, ClipsCropsAndCaptionsThatTheVideoLeavesEmptyAreRefused) {
    const auto fill = [](const TCliOptions& options) {
        TVGProj project([] { return TProjectDefaults(); });
        return Fill(options, project);
    };
    // The clip to the video's end (about 1.01 s) is shorter than one frame at 8 per second.
    TCliOptions late = Options(bear);
    late.StartPTS = 950'000;
    TFillOutcome outcome = fill(late);
    EXPECT_EQ(outcome.ExitCode, ecUsage);
    EXPECT_TRUE(outcome.Error.contains(QStringLiteral("to the video's end")))
        << qPrintable(outcome.Error);
    late.StartPTS = 800'000;
    EXPECT_EQ(fill(late).ExitCode, ecDone);
    // Cut to the picture, the crop keeps 2 × 10 pixels: nothing at a quarter.
    TCliOptions crop = Options(bear);
    crop.Crop = QRect(318, 0, 10, 10);
    crop.SizeStyle = ssQuarter;
    outcome = fill(crop);
    EXPECT_EQ(outcome.ExitCode, ecUsage);
    EXPECT_TRUE(outcome.Error.contains(QStringLiteral("--crop (2 × 10)")))
        << qPrintable(outcome.Error);
    crop.SizeStyle = ssHalf;
    EXPECT_EQ(fill(crop).ExitCode, ecDone);
    // Captions wholly off the picture, or off what the crop leaves; one partly on it is drawn.
    for (const QPoint& place : {QPoint(5000, 5000), QPoint(-900, 10), QPoint(10, 400)}) {
        TCliOptions captioned = Options(bear);
        captioned.Captions.push_back({place.x(), place.y(), QStringLiteral("Hi")});
        outcome = fill(captioned);
        EXPECT_EQ(outcome.ExitCode, ecUsage) << place.x() << ',' << place.y();
        EXPECT_TRUE(outcome.Error.contains(
            QStringLiteral("--caption %1,%2:Hi lies wholly outside").arg(place.x()).arg(place.y())))
            << qPrintable(outcome.Error);
    }
    TCliOptions partly = Options(bear);
    partly.Captions.push_back({-10, 170, QStringLiteral("Hi")});
    EXPECT_EQ(fill(partly).ExitCode, ecDone);
    partly.Crop = QRect(100, 100, 50, 50);
    outcome = fill(partly);
    EXPECT_EQ(outcome.ExitCode, ecUsage);
    EXPECT_TRUE(outcome.Error.contains(QStringLiteral("that --crop leaves")))
        << qPrintable(outcome.Error);
}

TEST(CliFill, CustomSizeIsTheFinalSizeAfterTurning) {
    TCliOptions options = Options(bear);
    options.SizeStyle = ssCustom;
    options.FinalSize = QSize(180, 320);
    options.QuarterTurns = 1;
    TVGProj project([] { return TProjectDefaults(); });
    ASSERT_EQ(Fill(options, project).ExitCode, ecDone);
    EXPECT_EQ(project.GetOutputSize(), QSize(320, 180));
    EXPECT_EQ(project.GetFinalSize(), QSize(180, 320));
}

TEST(CliFill, QualityLimitAndCaptionsReachTheRequest) {
    TCliOptions options = Options(bear);
    options.Quality = 30;
    options.MaxSize = 1'000'000;
    TVGProj project([] { return TProjectDefaults(); });
    ASSERT_EQ(Fill(options, project).ExitCode, ecDone);
    const TConversionRequest request = project.ConversionRequest(nullptr);
    EXPECT_EQ(request.GifQuality, 30);
    EXPECT_EQ(request.GifMaxSize, 1'000'000);
    // Nothing to draw: frames are not put through a painting pass (a 4K frame would be
    // converted to 32 bits and back for nothing).
    EXPECT_FALSE(request.DrawOverlays);

    options.Captions.push_back({10, 10, QStringLiteral("hello")});
    TVGProj captioned([] { return TProjectDefaults(); });
    ASSERT_EQ(Fill(options, captioned).ExitCode, ecDone);
    EXPECT_TRUE(captioned.ConversionRequest(nullptr).DrawOverlays);
}

TEST(CliFill, AVideoThatCannotBeReadFailsTheConversion) {
    QTemporaryDir dir;
    const QString fake = dir.filePath(QStringLiteral("fake.mp4"));
    QFile file(fake);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    TVGProj project([] { return TProjectDefaults(); });
    EXPECT_EQ(Fill(Options(fake), project).ExitCode, ecFailed);
}

TEST(CliProcess, ExitCodesOfTheCommandLine) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("o.gif"));
    EXPECT_EQ(RunConverter({"--bogus", bear, out}).ExitCode, ecUsage);
    EXPECT_EQ(RunConverter({"--fps", "0", bear, out}).ExitCode, ecUsage);
    EXPECT_EQ(RunConverter({"--fps", "abc", bear, out}).ExitCode, ecUsage);
    EXPECT_EQ(RunConverter({bear}).ExitCode, ecUsage);
    // A size limit or a quality that cannot be used is refused before the video is opened.
    for (const QStringList& wrong : {QStringList{"--max-size", "0"},
                                     {"--max-size", "-2M"},
                                     {"--max-size", "10"},
                                     {"--max-size", "big"},
                                     {"--quality", "0"},
                                     {"--quality", "101"}}) {
        const TRun run = RunConverter(wrong + QStringList{bear, out});
        EXPECT_EQ(run.ExitCode, ecUsage) << qPrintable(wrong.join(' '));
        EXPECT_TRUE(run.Err.contains(wrong[0].toUtf8())) << run.Err.constData();
    }
    EXPECT_FALSE(QFile::exists(out));
    const TRun help = RunConverter({"--help"});
    EXPECT_EQ(help.ExitCode, ecDone);
    EXPECT_TRUE(help.Out.contains("Exit codes"));
    const TRun version = RunConverter({"--version"});
    EXPECT_EQ(version.ExitCode, ecDone);
    EXPECT_TRUE(version.Out.startsWith("gifclipmaker-cli "));
}

// Problems found late used to fail the conversion (exit 1) or pass silently: they are usage errors
// now, named, and nothing is written. Those the command line alone shows are refused before the
// video is looked at (a missing video is not what is reported).
TEST(CliProcess, UnusableClipsCropsCaptionsAndNamesExitWithUsage) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("o.gif"));
    const QString missing = dir.filePath(QStringLiteral("missing.mp4"));
    const QList<std::pair<QStringList, QByteArray>> early = {
        {{missing, ""}, "must not be empty"},
        {{"--crop", "0,0,1,1", "--size", "quarter", missing, out}, "--crop (1 × 1)"},
        {{"--start", "1", "--end", "1.05", missing, out}, "shorter than one frame"},
        // what to make: from the name's extension, else --format
        {{missing, dir.filePath(QStringLiteral("o.png"))}, "(gif, webp, mp4)"},
        {{"--format", "avi", missing, out}, "is not gif, webp or mp4"},
    };
    for (const auto& [arguments, cause] : early) {
        const TRun run = RunConverter(arguments);
        EXPECT_EQ(run.ExitCode, ecUsage) << qPrintable(arguments.join(' '));
        EXPECT_TRUE(run.Err.contains(cause)) << run.Err.constData();
    }
    const QList<std::pair<QStringList, QByteArray>> late = {
        {{"--start", "0.95", bear, out}, "to the video's end"},
        {{"--crop", "318,0,10,10", "--size", "quarter", bear, out}, "--crop (2 × 10)"},
        {{"--caption", "5000,5000:Hi", bear, out}, "--caption 5000,5000:Hi lies wholly outside"},
    };
    for (const auto& [arguments, cause] : late) {
        const TRun run = RunConverter(arguments);
        EXPECT_EQ(run.ExitCode, ecUsage) << qPrintable(arguments.join(' '));
        EXPECT_TRUE(run.Err.contains(cause)) << run.Err.constData();
    }
    EXPECT_FALSE(QFile::exists(out));
}

TEST(CliProcess, NeverOverwritesTheVideoOrAnythingButAFile) {
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("c.ogv"));
    ASSERT_TRUE(QFile::copy(bear, video));
    const QByteArray before = Digest(video);
    // (--format: a name without the extension of a format is refused before anything else)
    const TRun same = RunConverter({"--format", "gif", video, video});
    EXPECT_EQ(same.ExitCode, ecUsage);
    EXPECT_TRUE(same.Err.contains("video file itself"));
    EXPECT_EQ(Digest(video), before);
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& target : {fifo, QStringLiteral("/dev/null"), dir.path()}) {
        const TRun refused = RunConverter({"--format", "gif", video, target});
        EXPECT_EQ(refused.ExitCode, ecUsage);
        EXPECT_TRUE(refused.Err.contains("not a regular file")) << refused.Err.constData();
    }
}

TEST(CliProcess, EndIsExclusiveAndTheSummaryGivesTheRealRate) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("o.gif"));
    const TRun run = RunConverter(
        {"--start", "5", "--end", "7", "--fps", "12", "--size", "quarter", "-q", bunny, out});
    ASSERT_EQ(run.ExitCode, ecDone) << run.Err.constData();
    const TDecodedGif gif = DecodeGifFile(out);
    ASSERT_TRUE(gif.Ok);
    EXPECT_EQ(gif.TotalDelayCs(), 200);
    EXPECT_TRUE(run.Out.contains("24 frames")) << run.Out.constData();
    EXPECT_TRUE(run.Out.contains("2.00 s at 12 frames per second")) << run.Out.constData();

    // At double speed the GIF plays twice the frames taken per second.
    const TRun fast = RunConverter({"--start", "5", "--end", "7", "--fps", "10", "--speed", "2",
                                    "--size", "quarter", "-q", bunny, out});
    ASSERT_EQ(fast.ExitCode, ecDone);
    EXPECT_TRUE(fast.Out.contains("20 frames")) << fast.Out.constData();
    EXPECT_TRUE(fast.Out.contains("1.00 s at 20 frames per second")) << fast.Out.constData();
}

TEST(CliProcess, EstimateTellsTheSizeTheSameCommandMakesAndWritesNothing) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("o.gif"));
    const QStringList clip = {"--start", "5", "--end", "7", "--fps", "12", "--size", "quarter"};
    const TRun estimate = RunConverter(clip + QStringList{"--estimate", "-q", bunny, out});
    ASSERT_EQ(estimate.ExitCode, ecDone) << estimate.Err.constData();
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_TRUE(estimate.Out.contains(" · 24 frames · 2.0 s\n")) << estimate.Out.constData();
    const TRun made = RunConverter(clip + QStringList{"-q", bunny, out});
    ASSERT_EQ(made.ExitCode, ecDone) << made.Err.constData();
    // 24 frames are made whole: the figure is the GIF's own.
    EXPECT_TRUE(estimate.Out.contains(
        QStringLiteral("bytes: %1 (exact)").arg(QFileInfo(out).size()).toUtf8()))
        << estimate.Out.constData();
}

TEST(CliProcess, DashWritesOnlyTheGifToStandardOutput) {
    const TRun run = RunConverter({"--fps", "5", bear, "-"});
    ASSERT_EQ(run.ExitCode, ecDone) << run.Err.constData();
    ASSERT_TRUE(run.Out.startsWith("GIF89a"));
    const TDecodedGif gif = DecodeGifBytes(run.Out);
    EXPECT_TRUE(gif.Ok);
    EXPECT_EQ(gif.Width, 160);
    EXPECT_TRUE(run.Err.contains("standard output: GIF 160 × 90"));

    // A reader that goes away: the failed write is reported (1), the process is not killed by
    // the broken pipe (141).
    QProcess gone;
    gone.start(QStringLiteral("bash"),
               {"-c", "set -o pipefail; \"$0\" --fps 5 \"$1\" - | head -c 10 >/dev/null", converter,
                bear});
    ASSERT_TRUE(gone.waitForFinished(60000));
    EXPECT_EQ(gone.exitCode(), ecFailed);
    EXPECT_TRUE(gone.readAllStandardError().contains("standard output"));
}

// A stop while the frames are prepared leaves nothing behind and says which signal ended the run.
TEST(CliProcess, SignalsStopTheRunWithTheirOwnCodes) {
    for (const auto& [signalNumber, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("o.gif"));
        QProcess process;
        process.start(converter, {"--size", "original", "--fps", "30", "-q", bunny, out});
        ASSERT_TRUE(process.waitForStarted(10000));
        // The stop handlers are set before the video is opened; the conversion takes a minute.
        ASSERT_TRUE(QTest::qWaitFor([&] { return HoldsOpen(process.processId(), bunny); }, 60000));
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), code);
        EXPECT_TRUE(process.readAllStandardError().contains("nothing was written"));
        EXPECT_FALSE(QFile::exists(out));
    }
}

namespace {
QByteArray StreamText(FILE* stream) {
    std::fflush(stream);
    std::rewind(stream);
    QByteArray text;
    char buffer[4096];
    while (const size_t got = std::fread(buffer, 1, sizeof buffer, stream))
        text.append(buffer, static_cast<qsizetype>(got));
    return text;
}
} // namespace

// The converter's two output streams as temporary files, closed with the object.
struct TCapturedStreams {
    TCapturedStreams() {
        Streams.Output = std::tmpfile();
        Streams.Messages = std::tmpfile();
    }
    ~TCapturedStreams() {
        if (Streams.Output)
            std::fclose(Streams.Output);
        if (Streams.Messages)
            std::fclose(Streams.Messages);
    }
    bool Ok() const { return Streams.Output && Streams.Messages; }
    TCliStreams Streams;
};

namespace {
// Fills a project from `options` for `gif` and converts it as the command line does: the exit
// code, or -1 when the options were refused.
// `handOver`: the conversion reads with the decoder that filled the project, as the command line
// does; otherwise it opens the video itself.
int FillAndRun(const TCliOptions& options, const QString& gif, const TCliStreams& streams,
               bool handOver = true) {
    TVGProj project([] { return TProjectDefaults(); });
    auto decoder = std::make_unique<TFFDecoder>();
    if (FillProject(options, gif, project, *decoder).ExitCode != ecDone)
        return -1;
    TCliStop stop;
    return RunCliConversion(project, options, stop, streams,
                            handOver ? std::move(decoder) : nullptr);
}
} // namespace

// The run step in-process: a finished GIF is reported from the engine's result, a stop that came
// first leaves nothing and gives the signal's code.
TEST(CliRun, ReportsWhatTheEngineDid) {
    QTemporaryDir dir;
    TCliOptions options = Options(bear);
    options.Fps = 5;
    const QString gif = dir.filePath(QStringLiteral("run.gif"));
    TCapturedStreams captured;
    ASSERT_TRUE(captured.Ok());
    const TCliStreams& streams = captured.Streams;

    TVGProj project([] { return TProjectDefaults(); });
    TFFDecoder decoder;
    ASSERT_EQ(FillProject(options, gif, project, decoder).ExitCode, ecDone);
    TCliStop stop;
    EXPECT_EQ(RunCliConversion(project, options, stop, streams), ecDone);
    EXPECT_TRUE(DecodeGifFile(gif).Ok);
    EXPECT_TRUE(StreamText(streams.Output).contains("160 × 90"));

    QFile::remove(gif);
    stop.Signal = SIGTERM;
    stop.Requested = true;
    EXPECT_EQ(RunCliConversion(project, options, stop, streams), ecTerminated);
    EXPECT_FALSE(QFile::exists(gif));
    EXPECT_TRUE(StreamText(streams.Messages).contains("nothing was written"));
    stop.Signal = SIGINT;
    EXPECT_EQ(RunCliConversion(project, options, stop, streams), ecInterrupted);
}

// The decoder that read the video's facts converts it as a freshly opened one would, from the
// start of the video or from a later start, and a refused project leaves it closed.
TEST(CliRun, TheDecoderThatFilledTheProjectConvertsTheSameGif) {
    QTemporaryDir dir;
    for (const double start : {0.0, 5.0}) {
        TCliOptions options = Options(bunny);
        options.StartPTS = static_cast<int64_t>(start * 1e6);
        options.EndPTS = options.StartPTS + 1'500'000;
        options.SizeStyle = ssCustom;
        options.FinalSize = QSize(160, 90);
        QByteArray gifs[2];
        for (const bool handOver : {true, false}) {
            const QString gif = dir.filePath(QStringLiteral("%1.gif").arg(handOver));
            TCapturedStreams captured;
            ASSERT_TRUE(captured.Ok());
            ASSERT_EQ(FillAndRun(options, gif, captured.Streams, handOver), ecDone);
            QFile file(gif);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            gifs[handOver ? 0 : 1] = file.readAll();
        }
        EXPECT_GT(DecodeGifBytes(gifs[0]).Images.size(), 5u) << start;
        EXPECT_EQ(gifs[0], gifs[1]) << "start " << start;
    }
    TCliOptions late = Options(bunny);
    late.StartPTS = 1000'000'000;
    TVGProj project([] { return TProjectDefaults(); });
    TFFDecoder decoder;
    EXPECT_EQ(
        FillProject(late, dir.filePath(QStringLiteral("late.gif")), project, decoder).ExitCode,
        ecUsage);
    EXPECT_LT(decoder.VideoStreamIndex(), 0);
}

// A video cut short still gives a GIF of what is there, with a warning that it is shorter.
TEST(CliRun, AVideoCutShortGivesAWarning) {
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("cut.mp4"));
    {
        QFile whole(QStringLiteral(VG_MEDIA_DIR "/bear-h264-1280x720.mp4"));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        QFile half(cut);
        ASSERT_TRUE(half.open(QIODevice::WriteOnly));
        half.write(whole.read(whole.size() / 2));
    }
    TCliOptions options = Options(cut);
    options.Fps = 5;
    const QString gif = dir.filePath(QStringLiteral("cut.gif"));
    TCapturedStreams captured;
    ASSERT_TRUE(captured.Ok());
    EXPECT_EQ(FillAndRun(options, gif, captured.Streams), ecDone);
    EXPECT_TRUE(DecodeGifFile(gif).Ok);
    EXPECT_TRUE(StreamText(captured.Streams.Messages).contains("warning: The video ends at"))
        << StreamText(captured.Streams.Messages).toStdString();
}

// With a size limit the GIF fits it, the summary gives the GIF's own size, length and rate (the
// limit may have lowered them) and the next line what was given up; a limit no GIF of the clip
// meets fails with the engine's message and leaves no file.
TEST(CliRun, ASizeLimitIsMetAndReported) {
    QTemporaryDir dir;
    TCliOptions options = Options(bear);
    options.Fps = 5;
    options.MaxSize = 30'000;
    const QString gif = dir.filePath(QStringLiteral("limit.gif"));
    TCapturedStreams captured;
    ASSERT_TRUE(captured.Ok());
    ASSERT_EQ(FillAndRun(options, gif, captured.Streams), ecDone);
    EXPECT_LE(QFileInfo(gif).size(), 30'000);
    const TDecodedGif decoded = DecodeGifFile(gif);
    ASSERT_TRUE(decoded.Ok);
    const QStringList lines =
        QString::fromUtf8(StreamText(captured.Streams.Output)).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("%1 × %2").arg(decoded.Width).arg(decoded.Height)))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QString::number(decoded.TotalDelayCs() / 100.0, 'f', 2) + " s"))
        << lines[0].toStdString();
    // The rate the limit chose, as the report gives it, is the summary's.
    const QRegularExpressionMatch chosen =
        QRegularExpression(QStringLiteral(", ([\\d.]+) fps, ")).match(lines[1]);
    ASSERT_TRUE(chosen.hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("at %1 frames").arg(chosen.captured(1))))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("target 30 KB: "))) << lines[1].toStdString();

    const QString tiny = dir.filePath(QStringLiteral("tiny.gif"));
    options.MaxSize = 100;
    TCapturedStreams failed;
    ASSERT_TRUE(failed.Ok());
    EXPECT_EQ(FillAndRun(options, tiny, failed.Streams), ecFailed);
    EXPECT_TRUE(StreamText(failed.Streams.Messages).contains("100 bytes"));
    EXPECT_FALSE(QFile::exists(tiny));
}
