#pragma once
// The project: one opened video and everything chosen for the GIF made from it, the frames
// decoded so far, and the drawing rules for captions and logo.

#include "common/Bitmaps.h"
#include "engine/FramePlan.h"
#include "engine/OutputFormat.h"
#include "project/VGElements.h"
#include "project/VGFrames.h"
#include "project/VGSizeStyle.h"

#include <QImage>
#include <QMutex>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QObject;
class QPainter;
class TCustomDecoder;
class TFrameWriter;
class TVideo2GifThread;
struct TConversionRequest;

// The values a new project takes from the settings.
struct TProjectDefaults {
    int GifFPS = 8;
    double GifSpeed = 1.0;
    int GifLoop = -1;
    TSizeStyle SizeStyle = ssHalf;
    QString FontName = QStringLiteral("Arial");
    int FontSize = 14;
    int FontColor = 16777215;
    int FontStyles = 0;
    int GifMaxFrame = 1000;
    int GifQuality = 90;
    int64_t GifMaxSize = 0;
    TOutputFormat OutputFormat = TOutputFormat::Gif;
};

// The defaults of the global settings object (built-in values while there is none).
TProjectDefaults ProjectDefaultsFromConfig();

class TVGProj {
public:
    // `defaults` supplies what ApplyDefaults copies; without one, the global settings do.
    explicit TVGProj(std::function<TProjectDefaults()> defaults = {});
    ~TVGProj();
    TVGProj(const TVGProj&) = delete;
    TVGProj& operator=(const TVGProj&) = delete;

    // Fields.
    QImage LogoImage; // the logo picture, loaded on first use
    QString VideoFile;
    QString GifFile;
    int64_t StartPTS;
    int64_t EndPTS;
    TRectL CropRect;
    bool CropEnabled = false;
    TSizeStyle SizeStyle = ssHalf;
    int CustomWidth = 0;
    int CustomHeight = 0;
    int GifFPS = 8;
    double GifSpeed = 1.0;
    int GifLoop = -1;
    TVGFrames Frames;
    int VideoWidth = 0;
    int VideoHeight = 0;
    int64_t Duration = 0;
    double FrameRate = 0;
    TTextList Texts;
    TVGLogo Logo;
    TFlipMode Flip = fmNone;
    uint8_t Rotate = 0; // clockwise quarter turns
    TFrameOrder Sequence = foOriginal;
    // Fidelity against size, 1 (smallest) to 100 (most faithful).
    int GifQuality = 90;
    // The largest file the GIF may be, in bytes; 0: no limit.
    int64_t GifMaxSize = 0;
    // What Convert makes of the edit: a GIF, an animated WebP or an MP4.
    TOutputFormat OutputFormat = TOutputFormat::Gif;

    // Project life.
    void ApplyDefaults();
    void ApplyFontTo(TTextObj* text) const;
    void DropLogoImage();

    // Stream and clip.
    void ReadStreamInfo(TCustomDecoder* decoder);
    bool IsVideoValid() const;
    bool IsClipValid() const;
    bool IsInClip(int64_t pts) const;
    static bool SameShownTime(int64_t a, int64_t b);
    void SnapClipToFrame(const TVGFrame* frame = nullptr);
    static int FrameDuration(TCustomDecoder* decoder);

    // Frames.
    TVGFrame* AddDecodedFrame(TCustomDecoder* decoder);
    TVGFrame* NextFrame(TCustomDecoder* decoder, TVGFrame* frame, int& skip);
    void ExtractFrames(TCustomDecoder* decoder, int count, QObject* window,
                       std::vector<TVGFrame*>& result, int64_t pts);
    void ExtractFramesBefore(TCustomDecoder* decoder, int count, QObject* window,
                             std::vector<TVGFrame*>& result, int64_t pts);
    bool HasDeletedFrameInClip() const;
    bool IsFrameDeleted(int64_t pts) const;

    // Conversion: fills the request and starts the engine, which reports to `window`.
    std::unique_ptr<TVideo2GifThread> StartConversion(QObject* window);
    // The request StartConversion hands to the engine (the overlay and frame filter callbacks
    // refer to this project).
    TConversionRequest ConversionRequest(QObject* window);
    // The request for work that runs while this project goes on changing (the live size
    // estimate): it refers to nothing of the project. Its overlays are drawn from a copy of the
    // captions and the logo, and its frame filter reads a copy of the deleted frames' times.
    TConversionRequest DetachedRequest() const;

    // Sizes of the output frames.
    double SizeScale() const;
    // The scale a size style stands for: 1, 0.5, 0.25, or -1 for a custom size.
    static double ScaleOfStyle(TSizeStyle style);
    QSize BaseSize() const;
    double ScaleX() const;
    double ScaleY() const;
    QSize GetOutputSize() const;
    QSize GetFinalSize() const;

    // Captions and logo. On a turned or mirrored picture, `turn` maps a position worked out for
    // the unturned picture to the painted one: every caption and the logo are drawn upright at
    // their own size, with the centre of their box where `turn` puts it, so they read as typed
    // and stay over what they were placed on; an item that lay wholly on the unturned frame of
    // `frame` size stays wholly on the turned one where it fits.
    void DrawTexts(QPainter& painter, bool sourceMode, const QTransform& turn = QTransform(),
                   const QSizeF& frame = QSizeF()) const;
    void DrawLogo(QPainter& painter, bool sourceMode, const QTransform& turn = QTransform(),
                  const QSizeF& frame = QSizeF());
    void DrawOverlays(QImage& bitmap);
    // The engine's callback: `width` × `height` is the output frame before turning.
    void DrawOutputOverlays(QPainter& painter, int width, int height,
                            const QTransform& turn = QTransform());
    QRectF MeasureText(const TTextObj* text) const;
    TVGElement* ElementAt(const QPointF& point);

    // Writes frame pictures in the background (not owned); none: each is written at once.
    TFrameWriter* PictureWriter = nullptr;
    // True when the writer let go of the frame's picture (the work folder's budget, a full
    // disk): extracting the frame again makes it anew from the video.
    bool IsPictureGone(const TVGFrame* frame) const;

private:
    QPointF OutputPoint(const TVGElement& element) const;
    // The frame the decoder stands on, from the list or newly added.
    TVGFrame* CurrentFrame(TCustomDecoder* decoder);
    // The first frame of a group: appended and reported; none when it cannot be had.
    TVGFrame* StartGroup(TCustomDecoder* decoder, std::vector<TVGFrame*>& result, QObject* window,
                         int count);
    // One more frame of a group after `frame`: linked, appended and reported; none at the end.
    TVGFrame* ExtendGroup(TCustomDecoder* decoder, TVGFrame* frame, int& skip,
                          std::vector<TVGFrame*>& result, size_t first, QObject* window, int count);
    bool EnsureLogoImage();
    std::function<TProjectDefaults()> FDefaults;
    mutable QMutex FLogoLock;
};
