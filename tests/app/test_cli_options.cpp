// The command-line converter's option reading: defaults, every kind of unusable value, the
// options that need one another, and the checks of the files named.

#include "app/cli/CliOptions.h"
#include "engine/ConversionPlan.h"
#include "engine/Video2Gif.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TCliParse Parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("gifclipmaker-cli"));
    return ParseCliArguments(arguments);
}

TCliOptions Parsed(const QStringList& arguments) {
    const TCliParse parse = Parse(arguments + QStringList{"in.mp4", "out.gif"});
    EXPECT_EQ(parse.Action, TCliAction::Convert) << qPrintable(parse.Error);
    return parse.Options;
}

} // namespace

TEST(CliOptions, DefaultsAndFiles) {
    const TCliOptions o = Parsed({});
    EXPECT_EQ(o.VideoFile, QStringLiteral("in.mp4"));
    EXPECT_EQ(o.GifFile, QDir::current().absoluteFilePath(QStringLiteral("out.gif")));
    EXPECT_FALSE(o.ToStdout);
    EXPECT_EQ(o.StartPTS, 0);
    EXPECT_FALSE(o.EndPTS.has_value());
    EXPECT_EQ(o.SizeStyle, ssHalf);
    EXPECT_EQ(o.Fps, 8);
    EXPECT_DOUBLE_EQ(o.Speed, 1.0);
    EXPECT_EQ(o.Replays, -1);
    EXPECT_EQ(o.Flip, fmNone);
    EXPECT_EQ(o.QuarterTurns, 0);
    EXPECT_EQ(o.Order, foOriginal);
    EXPECT_EQ(o.MaxFrames, 1000);
    EXPECT_EQ(o.Align, taLeft);
    EXPECT_FALSE(o.Quiet);
    EXPECT_EQ(o.Quality, DefaultGifQuality);
    EXPECT_EQ(o.MaxSize, 0);

    const TCliParse toStdout = Parse({"in.mp4", "-"});
    ASSERT_EQ(toStdout.Action, TCliAction::Convert);
    EXPECT_TRUE(toStdout.Options.ToStdout);
    EXPECT_TRUE(toStdout.Options.GifFile.isEmpty());
}

TEST(CliOptions, ValuesAreRead) {
    const TCliOptions o =
        Parsed({"--start",   "00:00:05.250", "-e",           "7",    "--size",    "180x320",
                "--fps",     "12",           "--speed",      "1.5",  "--replays", "-1",
                "--crop",    "10,20,30,40",  "--flip",       "both", "--rotate",  "270",
                "--order",   "ping-pong",    "--max-frames", "50",   "--caption", "4,5:Hi\\nthere",
                "--caption", "6,7:x:y",      "--font-size",  "20",   "--color",   "#ff8000",
                "--bold",    "--align",      "center",       "-q"});
    EXPECT_EQ(o.StartPTS, 5250000);
    EXPECT_EQ(o.EndPTS, std::optional<int64_t>(7000000));
    EXPECT_EQ(o.SizeStyle, ssCustom);
    EXPECT_EQ(o.FinalSize, QSize(180, 320));
    EXPECT_EQ(o.Fps, 12);
    EXPECT_DOUBLE_EQ(o.Speed, 1.5);
    EXPECT_EQ(o.Crop, std::optional<QRect>(QRect(10, 20, 30, 40)));
    EXPECT_EQ(o.Flip, fmBoth);
    EXPECT_EQ(o.QuarterTurns, 3);
    EXPECT_EQ(o.Order, foPingPong);
    EXPECT_EQ(o.MaxFrames, 50);
    ASSERT_EQ(o.Captions.size(), 2u);
    EXPECT_EQ(o.Captions[0].Text, QStringLiteral("Hi\nthere"));
    EXPECT_EQ(o.Captions[1].X, 6);
    EXPECT_EQ(o.Captions[1].Text, QStringLiteral("x:y")); // only the first colon ends the place
    EXPECT_EQ(o.FontSize, 20);
    EXPECT_EQ(o.Color, QColor(255, 128, 0));
    EXPECT_TRUE(o.Bold);
    EXPECT_FALSE(o.Italic);
    EXPECT_EQ(o.Align, taCenter);
    EXPECT_TRUE(o.Quiet);
    EXPECT_EQ(Parsed({"--size", "quarter"}).SizeStyle, ssQuarter);
    EXPECT_EQ(Parsed({"--order", "REVERSE"}).Order, foReverse);
}

// Every value that cannot be used is a usage error naming the option, found before any work.
TEST(CliOptions, UnusableValuesAreUsageErrors) {
    const QList<QStringList> wrong = {
        {"--fps", "0"},
        {"--fps", "abc"},
        {"--fps", "101"},
        {"--speed", "0"},
        {"--speed", "nan"},
        {"--speed", "-1"},
        {"--replays", "-2"},
        {"--replays", "70000"},
        {"--size", "0x10"},
        {"--size", "double"},
        {"--size", "20000x10"},
        {"--start", "-1"},
        {"--start", "soon"},
        {"--end", "1e300"},
        {"--end", "\xEF\xBC\x91"}, // a fullwidth digit one
        {"--end", "\xD9\xA9\xD9\xA9\xD9\xA9\xD9\xA9\xD9\xA9\xD9\xA9\xD9\xA9\xD9\xA9\xD9\xA9"},
        {"--end", "::"},
        {"--start", "1:99:99"},
        {"--crop", "1,2,3"},
        {"--crop", "0,0,0,10"},
        {"--crop", "-5,0,10,10"},
        {"--flip", "diagonal"},
        {"--rotate", "45"},
        {"--rotate", "360"},
        {"--order", "random"},
        {"--max-frames", "0"},
        {"--caption", "no place"},
        {"--caption", "1:x"},
        {"--font-size", "0"},
        {"--color", "nocolour"},
        {"--align", "justify"},
        {"--quality", "0"},
        {"--quality", "101"},
        {"--quality", "-5"},
        {"--quality", "high"},
        {"--max-size", "0"},
        {"--max-size", "0M"},
        {"--max-size", "-8M"},
        {"--max-size", "8X"},
        {"--max-size", "lots"},
        {"--max-size", ""},
        {"--max-size", "63"},
        {"--logo", "/nonexistent.png", "--logo-rect", "0,0,10,10"},
    };
    for (const QStringList& options : wrong) {
        const TCliParse parse = Parse(options + QStringList{"in.mp4", "out.gif"});
        EXPECT_EQ(parse.Action, TCliAction::Usage) << qPrintable(options.join(' '));
        EXPECT_TRUE(parse.Error.contains(options[0])) << qPrintable(parse.Error);
    }
}

// An empty file name is a command line that cannot be used (exit code 2, before any work), not a
// GIF the engine is asked to write and cannot.
TEST(CliOptions, EmptyFileNamesAreRefused) {
    const QStringList command{"--end", "15", "--size", "half", "--fps", "10"};
    for (const QStringList& files :
         {QStringList{"video.mp4", ""}, QStringList{"", "out.gif"}, QStringList{"", "-"}}) {
        const TCliParse parse = Parse(files + command);
        EXPECT_EQ(parse.Action, TCliAction::Usage) << qPrintable(files.join('|'));
        EXPECT_TRUE(parse.Error.contains(QLatin1String("must not be empty")))
            << qPrintable(parse.Error);
    }
}

// A rectangle whose far edge would pass the largest whole number is refused for its value; one
// that just reaches it is read.
TEST(CliOptions, RectanglesWhoseEdgesOverflowAreRefused) {
    for (const char* option : {"--crop", "--logo-rect"})
        for (const char* value : {"2147483647,0,10,10", "0,2147483600,10,100", "4294967296,0,10,10",
                                  "0,-2147483648,10,10"}) {
            const TCliParse parse = Parse({option, value, "in.mp4", "out.gif"});
            EXPECT_EQ(parse.Action, TCliAction::Usage) << option << ' ' << value;
            EXPECT_TRUE(parse.Error.startsWith(QLatin1String(option) + QLatin1Char(':')) &&
                        parse.Error.contains(QLatin1String(value)))
                << qPrintable(parse.Error);
        }
    EXPECT_EQ(Parsed({"--crop", "2147483637,2147483547,10,100"}).Crop,
              std::optional<QRect>(QRect(2147483637, 2147483547, 10, 100)));
}

TEST(CliOptions, QualityAndSizeLimit) {
    const TCliOptions o = Parsed({"--quality", "55", "--max-size", "8M"});
    EXPECT_EQ(o.Quality, 55);
    EXPECT_EQ(o.MaxSize, 8000000);
    EXPECT_EQ(Parsed({"--max-size", "2.5mb"}).MaxSize, 2500000);
    EXPECT_EQ(Parsed({"--max-size", "500KiB"}).MaxSize, 512000);
    EXPECT_EQ(Parsed({"--max-size", "8000000"}).MaxSize, 8000000);
    EXPECT_EQ(Parsed({"--quality", "1"}).Quality, 1);
    EXPECT_EQ(Parsed({"--quality", "100"}).Quality, 100);
    // The smallest limit taken is the smallest GIF there is, and the refusal says so.
    EXPECT_EQ(Parsed({"--max-size", QString::number(MinGifBytes)}).MaxSize, MinGifBytes);
    const TCliParse small = Parse({"--max-size", QString::number(MinGifBytes - 1), "a", "b.gif"});
    ASSERT_EQ(small.Action, TCliAction::Usage);
    EXPECT_TRUE(small.Error.contains(QStringLiteral("at least %1 bytes").arg(MinGifBytes)))
        << qPrintable(small.Error);
}

TEST(CliOptions, CommandLineShapeErrors) {
    EXPECT_EQ(Parse({"--bogus", "in.mp4", "out.gif"}).Action, TCliAction::Usage);
    EXPECT_EQ(Parse({"in.mp4"}).Action, TCliAction::Usage);
    EXPECT_EQ(Parse({"in.mp4", "out.gif", "extra.gif"}).Action, TCliAction::Usage);
    EXPECT_EQ(Parse({"in.mp4", "out.gif", "--fps"}).Action, TCliAction::Usage); // value missing
    // The end must come after the start; the logo and its place need each other.
    const TCliParse backwards = Parse({"--start", "7", "--end", "5", "in.mp4", "out.gif"});
    EXPECT_EQ(backwards.Action, TCliAction::Usage);
    EXPECT_TRUE(backwards.Error.contains(QStringLiteral("--end")));
    EXPECT_EQ(Parse({"--start", "5", "--end", "5", "in.mp4", "out.gif"}).Action, TCliAction::Usage);
    EXPECT_EQ(Parse({"--logo-rect", "0,0,5,5", "in.mp4", "out.gif"}).Action, TCliAction::Usage);
}

// What the command line alone shows cannot give a GIF is refused with its cause, and what just
// can is taken.
TEST(CliOptions, ClipsAndCropsThatGiveNoGifAreRefused) {
    const auto refusal = [](const QStringList& arguments) {
        const TCliParse parse = Parse(arguments);
        EXPECT_EQ(parse.Action, TCliAction::Usage) << qPrintable(arguments.join(' '));
        return parse.Error;
    };
    // Shorter than one frame at the rate frames are taken (8 per second: 0.125 s; at --speed 10
    // the rate drops to 5 per second: 0.2 s; at most 50 per second of playback: 0.02 s).
    const QString clip = refusal({"--start", "1", "--end", "1.05", "in.mp4", "out.gif"});
    EXPECT_TRUE(clip.contains(QStringLiteral("--end 00:00:01.050")) &&
                clip.contains(QStringLiteral("shorter than one frame")))
        << qPrintable(clip);
    EXPECT_EQ(Parsed({"--start", "1", "--end", "1.125"}).EndPTS, 1'125'000);
    refusal({"--end", "0.15", "--speed", "10", "in.mp4", "out.gif"});
    EXPECT_EQ(Parsed({"--end", "0.2", "--speed", "10"}).EndPTS, 200'000);
    refusal({"--end", "0.015", "--fps", "100", "in.mp4", "out.gif"});
    EXPECT_EQ(Parsed({"--end", "0.02", "--fps", "100"}).EndPTS, 20'000);
    // A crop that scaling leaves without a pixel (sizes round half to even: 0.5 → 0).
    const QString crop = refusal({"--crop", "0,0,2,10", "--size", "quarter", "in.mp4", "out.gif"});
    EXPECT_TRUE(crop.contains(QStringLiteral("--crop (2 × 10)")) &&
                crop.contains(QStringLiteral("no pixel (0 × 2)")))
        << qPrintable(crop);
    refusal({"--crop", "5,5,1,1", "--size", "half", "in.mp4", "out.gif"});
    EXPECT_TRUE(Parsed({"--crop", "0,0,3,3", "--size", "quarter"}).Crop.has_value());
    EXPECT_TRUE(Parsed({"--crop", "0,0,1,1", "--size", "original"}).Crop.has_value());
    EXPECT_TRUE(Parsed({"--crop", "0,0,1,1", "--size", "10x10"}).Crop.has_value());
}

TEST(CliOptions, HelpAndVersion) {
    EXPECT_EQ(Parse({"--help"}).Action, TCliAction::Help);
    EXPECT_EQ(Parse({"-h", "in.mp4", "out.gif"}).Action, TCliAction::Help);
    EXPECT_EQ(Parse({"--version"}).Action, TCliAction::Version);
    const QString help = CliHelpText();
    // The options of the table, the exit codes, and nothing of Qt's own options.
    for (const char* text : {"--fps", "--end", "--logo-rect", "--version", "Exit codes", "130",
                             "143", "Frames taken per second of video", "not included",
                             "--quality <1..100>", "--max-size <size>", "Default: 90.", "MiB"})
        EXPECT_TRUE(help.contains(QLatin1String(text))) << text;
    EXPECT_FALSE(help.contains(QLatin1String("--help-all")));
    EXPECT_FALSE(help.contains(QLatin1String("-platform")));
    EXPECT_TRUE(CliVersionText().startsWith(QLatin1String("gifclipmaker-cli 3.")));
}

TEST(CliOptions, FilesAreChecked) {
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("v.mp4"));
    QFile file(video);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not looked at here");
    file.close();
    TCliOptions o;
    o.VideoFile = video;
    o.GifFile = dir.filePath(QStringLiteral("out.gif"));
    EXPECT_TRUE(CheckCliFiles(o).isEmpty());

    o.VideoFile = dir.filePath(QStringLiteral("missing.mp4"));
    EXPECT_TRUE(CheckCliFiles(o).contains(QStringLiteral("does not exist")));
    o.VideoFile = dir.path();
    EXPECT_FALSE(CheckCliFiles(o).isEmpty());
    o.VideoFile = video;

    // The video itself, by its own name, through a link and through a hard link.
    o.GifFile = video;
    EXPECT_TRUE(CheckCliFiles(o).contains(QStringLiteral("video file itself")));
    const QString link = dir.filePath(QStringLiteral("link.gif"));
    ASSERT_TRUE(QFile::link(video, link));
    o.GifFile = link;
    EXPECT_TRUE(CheckCliFiles(o).contains(QStringLiteral("video file itself")));
    const QString hard = dir.filePath(QStringLiteral("hard.gif"));
    ASSERT_EQ(::link(QFile::encodeName(video).constData(), QFile::encodeName(hard).constData()), 0);
    o.GifFile = hard;
    EXPECT_TRUE(CheckCliFiles(o).contains(QStringLiteral("video file itself")));

    // Nothing but a regular file is replaced: a folder, a FIFO, a device.
    const QString fifo = dir.filePath(QStringLiteral("fifo.gif"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& target : {dir.path(), fifo, QStringLiteral("/dev/null")}) {
        o.GifFile = target;
        EXPECT_TRUE(CheckCliFiles(o).contains(QStringLiteral("not a regular file")))
            << qPrintable(target);
    }
    o.GifFile = dir.filePath(QStringLiteral("no/such/folder/out.gif"));
    EXPECT_TRUE(CheckCliFiles(o).contains(QStringLiteral("folder")));
    // Standard output needs no file checks.
    o.ToStdout = true;
    o.GifFile.clear();
    EXPECT_TRUE(CheckCliFiles(o).isEmpty());
}
