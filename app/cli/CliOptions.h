#pragma once
// The command-line converter's options: one table lists every option with its help text and how
// its value is read, so the help, the defaults and the checks cannot disagree.

#include "common/Bitmaps.h"
#include "engine/FramePlan.h"
#include "engine/OutputFormat.h"
#include "project/VGElements.h"
#include "project/VGSizeStyle.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// The converter's exit codes.
enum TCliExitCode {
    ecDone = 0,          // the GIF was written
    ecFailed = 1,        // the conversion failed
    ecUsage = 2,         // the command line cannot be used
    ecInterrupted = 130, // stopped by SIGINT (Ctrl+C)
    ecTerminated = 143   // stopped by SIGTERM
};

struct TCliCaption {
    int X = 0;
    int Y = 0;
    QString Text;
};

// What the command line asks for, every value checked.
struct TCliOptions {
    QString VideoFile;
    QString GifFile; // absolute; empty when the GIF goes to standard output
    bool ToStdout = false;
    int64_t StartPTS = 0;
    std::optional<int64_t> EndPTS; // the first time not taken (exclusive); none: the video's end
    TSizeStyle SizeStyle = ssHalf;
    QSize FinalSize; // for ssCustom: the GIF's size after turning
    int Fps = 8;     // frames taken per second of video
    double Speed = 1.0;
    int Replays = -1;
    std::optional<QRect> Crop; // video pixels
    TFlipMode Flip = fmNone;
    int QuarterTurns = 0; // clockwise
    TFrameOrder Order = foOriginal;
    int MaxFrames = 1000;
    int Quality = 90;    // 1 (smallest) to 100 (most faithful)
    int64_t MaxSize = 0; // the largest GIF in bytes; 0: no limit
    // What is made: from --format, else the output file's extension (standard output: a GIF).
    TOutputFormat Format = TOutputFormat::Gif;
    bool FormatGiven = false;
    std::vector<TCliCaption> Captions;
    QString FontName = QStringLiteral("Arial");
    int FontSize = 14;
    QColor Color = Qt::white;
    bool Bold = false;
    bool Italic = false;
    TTextAlignment Align = taLeft;
    QString LogoFile;
    std::optional<QRect> LogoRect;
    bool Quiet = false;
    bool Estimate = false;  // print the GIF's estimated size instead of writing it
    bool LoopEnd = false;   // the end chosen for a seamless loop ("--loop-end auto")
    bool LoopStart = false; // the start chosen likewise ("--loop-start auto")
    bool TrimStill = false; // the still frames at both ends left out
};

enum class TCliAction { Convert, Help, Version, Usage };

struct TCliParse {
    TCliAction Action = TCliAction::Usage;
    TCliOptions Options;
    QString Error; // for TCliAction::Usage
};

// Reads the arguments (the first one is the program's name). Every option and value is checked;
// nothing on disk is looked at.
[[nodiscard]] TCliParse ParseCliArguments(const QStringList& arguments);

// Checks the files of parsed options: the video exists, and the GIF's folder exists and the GIF
// would replace neither the video nor anything but a regular file. Empty when they can be used.
[[nodiscard]] QString CheckCliFiles(const TCliOptions& options);

// Checks of what the video's facts decide too, shared by the command line (with what it says
// alone) and the filled project (with the video's length and size). Empty when usable.
// The clip from `start` to `end` (exclusive) must hold one frame at the rate frames are taken.
[[nodiscard]] QString CheckClipLength(int64_t start, int64_t end, int fps, double speed,
                                      bool endGiven);
// Scaling `base` (the crop or the whole picture) as `style` says must leave a pixel each way.
[[nodiscard]] QString CheckScaledSize(const QSize& base, TSizeStyle style, bool cropped);

QString CliHelpText();
QString CliVersionText();
