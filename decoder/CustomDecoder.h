#pragma once
// The video decoder contract: the main window, the project, the playback and seek workers and the
// conversion engine drive a decoder only through this interface, so tests can put a fake in its
// place.
//
// Times are PTS values: signed 64-bit counts of microseconds measured from the start of the file
// (the first frame of a video is at or very near 0, even when the container's clock starts later).

#include <QFlags>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QImage;
class TRgbPlanes;
class TKeptFrame;
class TFramePictures;
class QRect;
class QSize;

// Ticks of a PTS per second: times count microseconds.
constexpr int64_t PtsTicksPerSecond = 1000000;

// "No time set". Spelled exactly as the decoding library spells it, so both definitions agree
// whichever header comes first.
#ifndef AV_NOPTS_VALUE
#define AV_NOPTS_VALUE ((int64_t)UINT64_C(0x8000000000000000))
#endif
static_assert(AV_NOPTS_VALUE == INT64_MIN, "AV_NOPTS_VALUE is the smallest 64-bit value");

// How `Seek` chooses its landing point. The empty set lands on the first key frame at or after the
// time; `Backward` on the last key frame at or before it; `Any` on any frame, key frame or not.
enum class TSeekFlag : uint32_t {
    Backward = 1,
    Any = 4,
};
Q_DECLARE_FLAGS(TSeekFlags, TSeekFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSeekFlags)

// Facts of one video stream. Width and height are the size of the pictures `CopyToBitmap`
// produces: the size a player shows (rotation applied, pixels made square). All zero for any
// index but the decoder's video stream.
struct TVideoStreamInfo {
    int Width = 0;
    int Height = 0;
    int FrameRateNum = 0; // frames per second as a fraction; 0/0 when the file gives none
    int FrameRateDen = 0;
    int CodedWidth = 0; // size of the decoded pictures before rotation and aspect correction
    int CodedHeight = 0;
    int Rotation = 0; // clockwise degrees applied to the pictures: 0, 90, 180 or 270
    QString CodecName;
};

// The nominal time a frame of the stream is shown, in PTS ticks (rounded to the nearest tick),
// from its frame rate; 0 when the stream gives no rate.
inline int64_t NominalFrameDuration(const TVideoStreamInfo& info) {
    if (info.FrameRateNum <= 0 || info.FrameRateDen <= 0)
        return 0;
    return (PtsTicksPerSecond * info.FrameRateDen + info.FrameRateNum / 2) / info.FrameRateNum;
}

// Facts of the open file.
struct TFileStreamInfo {
    int64_t Duration = 0;  // PTS ticks from the start of the file to its end; 0 when unknown
    int64_t StartTime = 0; // where the file's own clock starts, in microseconds (informative)
    QString FormatName;
};

// The "go on" question a cancellable locate asks between frames.
using TGoOnFunc = std::function<bool()>;
// Whether the frame shown at a PTS is needed.
using TFrameWantedFunc = std::function<bool(int64_t pts)>;

class TCustomDecoder : public QObject {
public:
    explicit TCustomDecoder(QObject* owner = nullptr) : QObject(owner) {}
    ~TCustomDecoder() override = default;

    // Opens a video file, closing any file open before. `formatName` forces a container format by
    // its short name ("mpegts", "matroska" ...); empty lets the file's contents decide. Returns
    // false when the file cannot be opened or holds no decodable video stream; callers judge
    // success from `VideoStreamIndex` and the stream facts.
    virtual bool LoadFile(const QString& fileName, const QString& formatName = QString()) = 0;
    virtual void CloseFile() = 0;

    // Index of the video stream in the file; negative when there is none (or no file is open).
    virtual int VideoStreamIndex() const = 0;
    virtual TVideoStreamInfo GetVideoStreamInfos(int index) const = 0;
    TVideoStreamInfo GetVideoStreamInfo() const { return GetVideoStreamInfos(VideoStreamIndex()); }
    virtual TFileStreamInfo GetFileStreamInfo() const = 0;

    // 24 gives QImage::Format_RGB888 pictures, 32 gives QImage::Format_RGB32; other values keep the
    // current depth.
    virtual void SetBitmapBitsPixel(int bits) = 0;
    virtual int BitmapBitsPixel() const = 0;

    // Makes the next video frame current. `count` greater than 1 steps over that many frames and
    // leaves the last one current; any other value steps one frame. False when the stream ends
    // (or breaks) first; the last frame decoded stays current.
    virtual bool Decode(int count = -1) = 0;

    // PTS of the current frame; AV_NOPTS_VALUE when there is none.
    virtual int64_t CurrentPTS() const = 0;

    // Writes the current frame's picture into `bitmap`, at video size and in the depth chosen by
    // `SetBitmapBitsPixel`. The image is reused when it already has that size and format. False
    // (and `bitmap` untouched) when no frame is current.
    virtual bool CopyToBitmap(QImage& bitmap) = 0;

    // The current picture as CopyToBitmap gives it (upright, square pixels, deinterlaced,
    // tone-mapped), cropped to `sourceRect` (in that picture's pixels) and scaled to `outSize`,
    // as a QImage::Format_RGB32 picture. False (and `bitmap` untouched) when no frame is current
    // or the rectangle lies outside the picture. This form converts, crops and scales; decoders
    // that can go from the decoded frame straight to the small picture do so.
    virtual bool CopyToBitmapScaled(QImage& bitmap, const QRect& sourceRect, const QSize& outSize);

    // The current frame's picture as CopyToBitmap gives it, as planes of green, blue and red.
    // This form converts and splits; decoders that can convert into planes straight do so.
    virtual bool CopyToPlanes(TRgbPlanes& planes);

    // The current frame, kept unchanged while the decoder goes on; null when none is current.
    // Pictures of it are made by a maker from NewFramePictures, on any one thread. This form
    // keeps the finished picture; decoders that can keep the decoded frame itself do so (and the
    // conversion then runs on the maker's thread).
    virtual std::shared_ptr<const TKeptFrame> KeepCurrent();
    // Makes pictures of this decoder's kept frames as CopyToPlanes and CopyToBitmapScaled would,
    // with the settings the decoder has now (for the file loaded).
    virtual std::unique_ptr<TFramePictures> NewFramePictures();

    // Pictures converted with exact rounding and every pixel's own colour, at some cost: for
    // pictures compared with their source (a GIF), not for playing. Decoders that always convert
    // exactly ignore it.
    virtual void SetExactColours(bool on) { (void)on; }

    // Repositions the stream near `pts` as `flags` says. True when the stream was repositioned and
    // a frame decodes there; the next `Decode` yields that frame. No frame is current until then.
    // The time of a frame reached by a seek may be an estimate in containers that stamp only the
    // decoding order (AVI); a locate is always exact.
    virtual bool Seek(int64_t pts, TSeekFlags flags) = 0;

    // Makes current the frame shown at `pts`: the last frame whose PTS is not greater than `pts`,
    // or the first frame of the video when `pts` lies before it. The next `Decode` continues with
    // the frame after it. The same `pts` always gives the same frame.
    virtual bool LocateVideoPTS(int64_t pts) = 0;
    // As `LocateVideoPTS`, but asks `goOn` between frames and returns false as soon as it answers
    // false.
    virtual bool LocateVideoPTSCallback(int64_t pts, const TGoOnFunc& goOn) = 0;

    // How many frames the codec reported damaged and the decoder therefore left out since the
    // file was loaded (a frame decoded twice, after a locate, counts twice).
    virtual int DamagedFramesLeftOut() const { return 0; }

    // From now on, frames that no other frame is predicted from are not decoded at all when
    // `wanted` (asked with their PTS) says they are not needed: a reader that takes only some
    // frames (every third, say) saves their decoding. Locates decode every frame, as do streams
    // with interlaced pictures. Null: every frame is decoded again. Decoders that cannot tell
    // such frames ignore it. Loading a file clears it.
    virtual void SkipUnwantedFrames(TFrameWantedFunc wanted) { (void)wanted; }
};

// The locate routines in their free-standing form, as the project and the workers call them.
inline bool LocateVideoPTS(TCustomDecoder* decoder, int64_t pts) {
    return decoder != nullptr && decoder->LocateVideoPTS(pts);
}
inline bool LocateVideoPTSCallback(TCustomDecoder* decoder, int64_t pts, const TGoOnFunc& goOn) {
    return decoder != nullptr && decoder->LocateVideoPTSCallback(pts, goOn);
}

// "hh:mm:ss.fff" with `digits` fraction digits (3 gives milliseconds, 0 leaves out the point).
// The fraction is cut, not rounded, so a frame prints at the millisecond it has begun. Negative
// times get a leading "-"; AV_NOPTS_VALUE gives an empty text.
QString FormatPTS(int64_t pts, int digits = 3);

// Reads a time written as FormatPTS writes it. It also reads the texts of a time edit with an
// input mask that the user filled only partly: every blank position ("_" or space) counts as the
// digit 0, so "01:__:__.___" is one hour, "00:1_:00.000" ten minutes and "00:00:02.5__" 2.5
// seconds. Fewer fields are read from the right ("05.250", "01:05"). Only the leftmost field may
// exceed its usual range ("90" is 90 seconds, "90:00" 90 minutes); minutes and seconds after it
// are below 60. Fields are at most nine digits long, so every time read can be written and read
// again. A leading "-" negates. Text that is not a time (letters, digits other than 0 to 9, too
// many fields, no digit at all) gives AV_NOPTS_VALUE.
int64_t StrToPTS(const QString& text, int digits = 3);
