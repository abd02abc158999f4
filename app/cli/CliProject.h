#pragma once
// Fills a project from the command line's options as the program's dialogs would.

#include "app/cli/CliOptions.h"

#include <QString>
#include <QStringList>

class TCustomDecoder;
class TVGProj;

struct TFillOutcome {
    TCliExitCode ExitCode = ecDone; // ecDone when the project is ready to convert
    QString Error;
    QStringList Warnings; // what was changed to make the options fit the video
};

// Opens the video with `decoder` and fills `project`: the clip
// (its end exclusive), the crop rectangle (cut to the picture, with a warning), the size (a custom
// size is the GIF's size after turning), frame rate, speed, replays, flip, rotation, order,
// quality, size limit, captions and logo. The GIF goes to `gifFile`. The decoder stays open when
// the project is ready to convert (the conversion can read the video with it) and is closed
// otherwise.
[[nodiscard]] TFillOutcome FillProject(const TCliOptions& options, const QString& gifFile,
                                       TVGProj& project, TCustomDecoder& decoder);
