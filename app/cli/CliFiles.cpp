// The converter's check of the files named on the command line; it stands on the engine's rule
// for what a GIF may replace, so it lives apart from the reading of the options.

#include "app/cli/CliOptions.h"
#include "engine/Video2Gif.h"

#include <QDir>
#include <QFileInfo>

QString CheckCliFiles(const TCliOptions& options) {
    const QFileInfo video(options.VideoFile);
    if (!video.exists())
        return QStringLiteral("the video file \"%1\" does not exist").arg(options.VideoFile);
    if (!video.isFile())
        return QStringLiteral("\"%1\" is not a video file").arg(options.VideoFile);
    if (options.ToStdout)
        return {};
    const QFileInfo gif(options.GifFile);
    if (!gif.absoluteDir().exists())
        return QStringLiteral("the folder of the GIF file \"%1\" does not exist")
            .arg(gif.absolutePath());
    return CheckGifTarget(options.VideoFile, options.GifFile);
}
