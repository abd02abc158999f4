#include "app/cli/CliProject.h"

#include "decoder/CustomDecoder.h"
#include "project/VGProject.h"

namespace {

QString RectText(const QRect& rect) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

TFillOutcome Refuse(TCliExitCode code, const QString& text) {
    TFillOutcome outcome;
    outcome.ExitCode = code;
    outcome.Error = text;
    return outcome;
}

// The clip: the end is exclusive, so the frame at the end time is not taken.
QString FillClip(const TCliOptions& options, TVGProj& project) {
    if (project.Duration > 0 && options.StartPTS >= project.Duration)
        return QStringLiteral("--start %1 is not before the end of the video (%2)")
            .arg(FormatPTS(options.StartPTS, 3), FormatPTS(project.Duration, 3));
    const int64_t end = options.EndPTS ? *options.EndPTS
                                       : (project.Duration > options.StartPTS
                                              ? project.Duration
                                              : options.StartPTS + PtsTicksPerSecond);
    project.StartPTS = options.StartPTS;
    project.EndPTS = end - 1;
    return {};
}

// The crop rectangle as used: the part inside the picture.
QString FillCrop(const TCliOptions& options, TVGProj& project, QStringList& warnings) {
    const QRect picture(0, 0, project.VideoWidth, project.VideoHeight);
    project.CropEnabled = options.Crop.has_value();
    project.CropRect = TRectL::FromQRect(picture);
    if (!options.Crop)
        return {};
    const QRect used = options.Crop->intersected(picture);
    if (used.isEmpty())
        return QStringLiteral("--crop %1 lies outside the %2 × %3 video")
            .arg(RectText(*options.Crop))
            .arg(picture.width())
            .arg(picture.height());
    if (used != *options.Crop)
        warnings << QStringLiteral("--crop %1 reaches outside the %2 × %3 video; the part inside "
                                   "is used: %4")
                        .arg(RectText(*options.Crop))
                        .arg(picture.width())
                        .arg(picture.height())
                        .arg(RectText(used));
    project.CropRect = TRectL::FromQRect(used);
    return {};
}

void FillOutput(const TCliOptions& options, TVGProj& project) {
    project.SizeStyle = options.SizeStyle;
    // The project's custom size is that of the frame before it is turned.
    const QSize unturned = RotatedSize(options.FinalSize, options.QuarterTurns);
    project.CustomWidth = unturned.width();
    project.CustomHeight = unturned.height();
    project.GifFPS = options.Fps;
    project.GifSpeed = options.Speed;
    project.GifLoop = options.Replays;
    project.Flip = options.Flip;
    project.Rotate = static_cast<uint8_t>(options.QuarterTurns);
    project.Sequence = options.Order;
    project.GifQuality = options.Quality;
    project.GifMaxSize = options.MaxSize;
    project.OutputFormat = options.Format;
}

void FillOverlays(const TCliOptions& options, TVGProj& project) {
    const QColor& color = options.Color;
    for (const TCliCaption& caption : options.Captions) {
        TTextObj* text = project.Texts.Add();
        text->X = caption.X;
        text->Y = caption.Y;
        text->Text = caption.Text;
        text->FontName = options.FontName;
        text->FontSize = options.FontSize;
        text->FontColor = color.red() | (color.green() << 8) | (color.blue() << 16);
        text->FontStyles = (options.Bold ? fsBoldBit : 0) | (options.Italic ? fsItalicBit : 0);
        text->Alignment = options.Align;
    }
    if (!options.LogoFile.isEmpty() && options.LogoRect) {
        project.Logo.Enabled = true;
        project.Logo.FileName = options.LogoFile;
        project.Logo.X = options.LogoRect->x();
        project.Logo.Y = options.LogoRect->y();
        project.Logo.Width = options.LogoRect->width();
        project.Logo.Height = options.LogoRect->height();
    }
}

// What only the video's length and size tell: the clip to the video's end holds a frame, the
// picture keeps a pixel once scaled, and every caption shows at least in part.
QString CheckAgainstVideo(const TCliOptions& options, const TVGProj& project) {
    if (!options.EndPTS)
        if (QString problem = CheckClipLength(project.StartPTS, project.EndPTS + 1, options.Fps,
                                              options.Speed, false);
            !problem.isEmpty())
            return problem;
    if (QString problem =
            CheckScaledSize(project.BaseSize(), options.SizeStyle, project.CropEnabled);
        !problem.isEmpty())
        return problem;
    const QRectF picture(QPointF(project.CropEnabled ? project.CropRect.Left : 0,
                                 project.CropEnabled ? project.CropRect.Top : 0),
                         QSizeF(project.BaseSize()));
    for (int i = 0; i < project.Texts.Count(); ++i) {
        const QRectF box = project.MeasureText(project.Texts[i]);
        if (!box.isEmpty() && !box.intersects(picture))
            return QStringLiteral("--caption %1,%2:%3 lies wholly outside the %4 × %5 picture%6")
                .arg(project.Texts[i]->X)
                .arg(project.Texts[i]->Y)
                .arg(project.Texts[i]->Text)
                .arg(picture.width())
                .arg(picture.height())
                .arg(project.CropEnabled ? QStringLiteral(" that --crop leaves") : QString());
    }
    return {};
}

// The project from the options, once the video's facts are in it (`loaded`: the video opened).
TFillOutcome FillFrom(const TCliOptions& options, const QString& gifFile, bool loaded,
                      TVGProj& project) {
    if (!loaded || !project.IsVideoValid())
        return Refuse(ecFailed,
                      QStringLiteral("the video file \"%1\" cannot be opened or holds no video")
                          .arg(options.VideoFile));
    project.VideoFile = options.VideoFile;
    project.GifFile = gifFile;
    TFillOutcome outcome;
    if (QString problem = FillClip(options, project); !problem.isEmpty())
        return Refuse(ecUsage, problem);
    if (QString problem = FillCrop(options, project, outcome.Warnings); !problem.isEmpty())
        return Refuse(ecUsage, problem);
    FillOutput(options, project);
    FillOverlays(options, project);
    if (QString problem = CheckAgainstVideo(options, project); !problem.isEmpty())
        return Refuse(ecUsage, problem);
    return outcome;
}

} // namespace

TFillOutcome FillProject(const TCliOptions& options, const QString& gifFile, TVGProj& project,
                         TCustomDecoder& decoder) {
    const bool loaded = decoder.LoadFile(options.VideoFile);
    if (loaded)
        project.ReadStreamInfo(&decoder);
    TFillOutcome outcome = FillFrom(options, gifFile, loaded, project);
    if (outcome.ExitCode != ecDone)
        decoder.CloseFile();
    return outcome;
}
