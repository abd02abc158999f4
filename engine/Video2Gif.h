#pragma once
// The conversion engine: turns a clip of a video into an animated GIF on its own thread.

#include "common/Bitmaps.h"
#include "engine/FramePlan.h"
#include "engine/OutputFormat.h"

#include <QPointer>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QPainter;
class TCustomDecoder;

// Draws captions and logo on an output frame. The painter paints on the finished frame: cropped,
// scaled, then turned and mirrored. `width` × `height` is the frame's size before turning, the
// frame the overlay positions are worked out on, and `turn` (RotateAndFlipTransform) maps a point
// of that frame to where it lies on the painted one; it is the identity when the frame is neither
// turned nor mirrored. Called on the engine's thread.
using TOverlayCallback =
    std::function<void(QPainter& painter, int width, int height, const QTransform& turn)>;
// Answers true for a source frame (by its PTS) that must be left out. Called on the engine's
// thread.
using TFrameFilter = std::function<bool(int64_t pts)>;

constexpr int DefaultGifQuality = 90;

// What to convert and how, and where to report.
struct TConversionRequest {
    QString VideoFile;
    QString GifFile;
    int64_t StartPTS = 0;
    int64_t EndPTS = 0;
    TRectL CropRect;
    bool CropEnabled = false;
    double SizeScale = 1.0; // 1, 0.5, 0.25, or -1 for the custom size
    int CustomWidth = 0;
    int CustomHeight = 0;
    int GifMaxFrame = 1000;
    int GifFPS = 8;
    double GifSpeed = 1.0;
    int GifLoop = -1; // -1 endless, 0 play once, n: n more times
    TFlipMode Flip = fmNone;
    uint8_t Rotate = 0; // clockwise quarter turns
    TFrameOrder Sequence = foOriginal;
    // Fidelity against size, 1 (smallest) to 100 (most faithful); DefaultGifQuality is the
    // engine's balance.
    int GifQuality = DefaultGifQuality;
    // The largest file the GIF may be, in bytes; 0: no limit. The engine lowers the quality, then
    // the frame rate, then the size, each as little as it can, until the GIF fits.
    int64_t GifMaxSize = 0;
    // What is made at GifFile: the GIF, or the same frames as an animated WebP or an MP4 video.
    TOutputFormat Format = TOutputFormat::Gif;
    TOverlayCallback DrawOverlays;
    TFrameFilter FrameFilter;
    QPointer<QObject> Window;
};

// Makes the decoder a conversion reads the video with. One that comes with a video open (a video
// stream chosen: the caller read the stream's facts with it and went no further) is taken to
// hold the request's video and is read as it is, without opening the file again.
using TDecoderFactory = std::function<std::unique_ptr<TCustomDecoder>()>;

struct TConversionResult {
    bool Ok = false;
    bool Cancelled = false;
    QString Error;         // for the user, when neither ok nor cancelled
    int FramesWritten = 0; // frames of the GIF's sequence (unchanged frames count too)
    int ImagesWritten = 0; // GIF images after merging unchanged frames
    int Width = 0;         // size of the GIF
    int Height = 0;
    double Fps = 0;     // GIF frames per second of playback (a size limit may lower it)
    int DurationCs = 0; // how long the GIF plays once, in hundredths of a second
    // For the user, when the GIF was written but is shorter than the clip asked (the video ran
    // out early) or damaged frames were left out; empty otherwise.
    QString Warning;
    // With a size limit: what the engine chose to meet it, e.g. "target 8.0 MB: 7.7 MB at quality
    // 62, 10 fps, 480 × 270"; empty otherwise.
    QString SizeReport;
};

// Why the GIF cannot be written at `gifFile` in place of what is there now, or empty when it can:
// the GIF never replaces the video it is made from (by name, link or hard link) nor anything
// but a regular file (a folder, device, FIFO or socket).
[[nodiscard]] QString CheckGifTarget(const QString& videoFile, const QString& gifFile);

// Runs a whole conversion on the calling thread. `progress` receives 0 to 100; `cancel` is
// polled often. A run that fails or is cancelled leaves no file behind and an older file at the
// GIF path untouched.
[[nodiscard]] TConversionResult RunConversion(const TConversionRequest& request,
                                              const std::function<void(int)>& progress,
                                              const std::atomic<bool>& cancel,
                                              const TDecoderFactory& decoderFactory = {});

// The engine's thread. Created suspended; `start()` runs it. It reports only by posting the
// request's three messages to the request's window: progress (percent in wParam), then either
// the end (wParam frames written, lParam the maximum frame count) or an error (its text in the
// event), unless it was told to terminate.
class TVideo2GifThread : public QThread {
public:
    explicit TVideo2GifThread(const TConversionRequest& request,
                              TDecoderFactory decoderFactory = {});
    // Requests termination and waits for the thread to end.
    ~TVideo2GifThread() override;

    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    const TConversionResult& Result() const { return FResult; }

protected:
    void run() override;

private:
    TConversionRequest FRequest;
    TDecoderFactory FDecoderFactory;
    std::atomic<bool> FTerminated{false};
    TConversionResult FResult;
};
