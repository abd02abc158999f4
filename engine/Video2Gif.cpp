#include "engine/Video2Gif.h"

#include "common/Messages.h"
#include "decoder/FFDecoder.h"
#include "decoder/ScalerCache.h"
#include "engine/FramePlan.h"
#include "engine/GifEncoder.h"
#include "engine/Quantizer.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

constexpr int maxSide = 16384;

// Output frames wait on disk between the two passes (palette, then encoding), so memory stays
// small whatever the frame count, and any frame order is a matter of reading in another order.
// A reverse run keeps only the last frames it can use: slots are reused in a ring.
class TFrameSpill {
public:
    TFrameSpill(const QString& folder, qint64 frameBytes, int capacity)
        : FFile(QDir(folder).filePath(QStringLiteral(".gif-frames-XXXXXX"))),
          FFrameBytes(frameBytes), FCapacity(capacity) {}
    bool Open() { return FFile.open(); }
    QString ErrorString() const { return FFile.errorString(); }
    int Slot(int index) const { return FCapacity > 0 ? index % FCapacity : index; }
    bool Write(int index, const uchar* data) {
        return FFile.seek(Slot(index) * FFrameBytes) &&
               FFile.write(reinterpret_cast<const char*>(data), FFrameBytes) == FFrameBytes;
    }
    bool Read(int index, uchar* data) {
        return FFile.seek(Slot(index) * FFrameBytes) &&
               FFile.read(reinterpret_cast<char*>(data), FFrameBytes) == FFrameBytes;
    }

private:
    QTemporaryFile FFile;
    qint64 FFrameBytes;
    int FCapacity;
};

TConversionResult Failure(const QString& text) {
    TConversionResult result;
    result.Error = text;
    return result;
}

TConversionResult Cancelled() {
    TConversionResult result;
    result.Cancelled = true;
    return result;
}

QString CheckRequest(const TVGConvertFlag& r) {
    if (r.VideoFile.isEmpty())
        return QStringLiteral("No video file was given.");
    if (r.GifFile.isEmpty())
        return QStringLiteral("No GIF file name was given.");
    if (r.GifFPS <= 0)
        return QStringLiteral("The frame rate must be at least 1 frame per second (it is %1).")
            .arg(r.GifFPS);
    if (!(r.GifSpeed > 0) || !std::isfinite(r.GifSpeed))
        return QStringLiteral("The speed must be greater than 0 (it is %1).").arg(r.GifSpeed);
    if (r.GifMaxFrame <= 0)
        return QStringLiteral("The maximum frame count must be at least 1 (it is %1).")
            .arg(r.GifMaxFrame);
    if (r.StartPTS >= r.EndPTS)
        return QStringLiteral("The clip holds no frames: its end must come after its start.");
    if (IsCustomScale(r.SizeScale) && (r.CustomWidth <= 0 || r.CustomHeight <= 0))
        return QStringLiteral("The output size must be at least 1 × 1 pixel (it is %1 × %2).")
            .arg(r.CustomWidth)
            .arg(r.CustomHeight);
    if (!IsCustomScale(r.SizeScale) && !(r.SizeScale > 0 && r.SizeScale <= 1))
        return QStringLiteral("The size factor %1 is not valid.").arg(r.SizeScale);
    if (r.CropEnabled && r.CropRect.IsEmpty())
        return QStringLiteral("The crop rectangle is empty.");
    const QFileInfo target(r.GifFile);
    if (!target.absoluteDir().exists())
        return QStringLiteral("The folder of the GIF file \"%1\" does not exist.")
            .arg(QDir::toNativeSeparators(target.absolutePath()));
    return CheckGifTarget(r.VideoFile, r.GifFile);
}

// Scales pictures with a Lanczos filter (sharper than bilinear or box filtering when shrinking, no
// ringing worth mentioning at GIF sizes), on planes of red, green and blue so no colour conversion
// takes place.
class TScaler {
public:
    QImage Scale(const QImage& image, const QSize& size) {
        const QImage source =
            image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                ? image
                : image.convertToFormat(QImage::Format_RGB32);
        const int inWidth = source.width(), inHeight = source.height();
        const int outWidth = size.width(), outHeight = size.height();
        TScalerKey key;
        key.SrcWidth = inWidth;
        key.SrcHeight = inHeight;
        key.SrcFormat = key.DstFormat = AV_PIX_FMT_GBRP;
        key.DstWidth = outWidth;
        key.DstHeight = outHeight;
        key.Flags = SWS_LANCZOS | SWS_ACCURATE_RND;
        SwsContext* context = FScaler.Get(key);
        if (!context)
            return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Planes in the order the format has them: green, blue, red.
        const size_t inPlane = static_cast<size_t>(inWidth) * inHeight;
        const size_t outPlane = static_cast<size_t>(outWidth) * outHeight;
        FIn.resize(inPlane * 3);
        FOut.resize(outPlane * 3);
        for (int y = 0; y < inHeight; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
            uint8_t* g = FIn.data() + static_cast<size_t>(y) * inWidth;
            uint8_t* b = g + inPlane;
            uint8_t* r = b + inPlane;
            for (int x = 0; x < inWidth; ++x) {
                g[x] = static_cast<uint8_t>(qGreen(line[x]));
                b[x] = static_cast<uint8_t>(qBlue(line[x]));
                r[x] = static_cast<uint8_t>(qRed(line[x]));
            }
        }
        const uint8_t* const in[] = {FIn.data(), FIn.data() + inPlane, FIn.data() + 2 * inPlane};
        const int inStride[] = {inWidth, inWidth, inWidth};
        uint8_t* const out[] = {FOut.data(), FOut.data() + outPlane, FOut.data() + 2 * outPlane};
        const int outStride[] = {outWidth, outWidth, outWidth};
        if (sws_scale(context, in, inStride, 0, inHeight, out, outStride) <= 0)
            return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QImage result(size, QImage::Format_RGB32);
        for (int y = 0; y < outHeight; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
            const uint8_t* g = FOut.data() + static_cast<size_t>(y) * outWidth;
            const uint8_t* b = g + outPlane;
            const uint8_t* r = b + outPlane;
            for (int x = 0; x < outWidth; ++x)
                line[x] = qRgb(r[x], g[x], b[x]);
        }
        return result;
    }

private:
    TScalerCache FScaler;
    std::vector<uint8_t> FIn, FOut;
};

// A picture sampled from the clip, or how the decoding ended.
struct TSample {
    enum TKind { Sampled, End, Cancelled, Failed } Kind = Sampled;
    int64_t Time = 0; // the sample's time
    int64_t Pts = 0;  // of the video frame shown then; for the end, where the video ended
                      // before the clip did (else AV_NOPTS_VALUE)
    QImage Picture;
};

// Hands samples from the decoding thread to the engine's, a few at a time.
class TSampleQueue {
public:
    // False when the consumer stopped listening.
    bool Push(TSample sample) {
        std::unique_lock lock(FLock);
        FSpace.wait(lock, [&] { return FStopped || FItems.size() < capacity; });
        if (FStopped)
            return false;
        FItems.push_back(std::move(sample));
        FReady.notify_one();
        return true;
    }
    void Finish(TSample::TKind kind, int64_t pts = AV_NOPTS_VALUE) {
        TSample last;
        last.Kind = kind;
        last.Pts = pts;
        Push(std::move(last));
    }
    TSample Pop() {
        std::unique_lock lock(FLock);
        FReady.wait(lock, [&] { return !FItems.empty(); });
        TSample sample = std::move(FItems.front());
        FItems.pop_front();
        FSpace.notify_one();
        return sample;
    }
    void Stop() {
        std::lock_guard lock(FLock);
        FStopped = true;
        FSpace.notify_all();
    }
    bool Stopped() {
        std::lock_guard lock(FLock);
        return FStopped;
    }

private:
    static constexpr size_t capacity = 3;
    std::mutex FLock;
    std::condition_variable FReady, FSpace;
    std::deque<TSample> FItems;
    bool FStopped = false;
};

// Copies a picture's rows into tightly packed red-green-blue bytes.
void PackRgb(const QImage& image, uchar* out) {
    const QImage rgb = image.format() == QImage::Format_RGB888
                           ? image
                           : image.convertToFormat(QImage::Format_RGB888);
    const qsizetype rowBytes = static_cast<qsizetype>(rgb.width()) * 3;
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(out + y * rowBytes, rgb.constScanLine(y), static_cast<size_t>(rowBytes));
}

// A coarse colour histogram of a frame (4 × 4 × 4 bins of every 4th pixel), to tell scenes apart.
using TColorSignature = std::array<float, 64>;

TColorSignature Signature(const uchar* rgb, qsizetype pixels) {
    TColorSignature bins{};
    int counted = 0;
    for (qsizetype i = 0; i < pixels; i += 4, ++counted) {
        const uchar* p = rgb + i * 3;
        bins[static_cast<size_t>((p[0] >> 6) * 16 + (p[1] >> 6) * 4 + (p[2] >> 6))] += 1;
    }
    for (float& bin : bins)
        bin /= static_cast<float>(std::max(counted, 1));
    return bins;
}

float SignatureDistance(const TColorSignature& a, const TColorSignature& b) {
    float sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::fabs(a[i] - b[i]);
    return sum;
}

// A new scene starts where the colours change this much (of at most 2) from one frame to the
// next, once the current scene has a few frames.
constexpr float sceneCutDistance = 0.6f;
constexpr int shortestScene = 3;

// Reports progress only when the percentage moves.
class TProgress {
public:
    explicit TProgress(const std::function<void(int)>& report) : FReport(report) {}
    void Set(double percent) {
        const int value = std::clamp(static_cast<int>(percent), 0, 100);
        if (value != FLast && FReport) {
            FLast = value;
            FReport(value);
        }
    }

private:
    const std::function<void(int)>& FReport;
    int FLast = -1;
};

// What the user should know about a GIF that came out shorter or with frames left out: the
// frames ran out at `videoEnd` (a file cut short, or a header that promises more than there is)
// while the clip asked for more, or damaged frames were left out. Empty when neither happened.
// Ends a few frames short of the clip (a video stream that ends a little before its audio) pass.
QString ShortfallWarning(int64_t videoEnd, int64_t clipEnd, double step, int64_t frameDuration,
                         int damagedFrames) {
    QStringList parts;
    const double tolerance = std::max(2.0 * static_cast<double>(frameDuration), step);
    if (videoEnd != AV_NOPTS_VALUE && static_cast<double>(clipEnd - videoEnd) > tolerance)
        parts << QStringLiteral("The video ends at %1, before the end of the clip (%2): the file "
                                "may be cut short. The GIF is shorter than asked.")
                     .arg(FormatPTS(videoEnd, 3), FormatPTS(clipEnd, 3));
    if (damagedFrames > 0)
        parts << QStringLiteral("%1 damaged frame(s) of the video were left out; the frames "
                                "before them are shown in their place.")
                     .arg(damagedFrames);
    return parts.join(QLatin1Char(' '));
}

} // namespace

QString CheckGifTarget(const QString& videoFile, const QString& gifFile) {
    const QString gifName = QDir::toNativeSeparators(gifFile);
    struct stat gifStat = {};
    // A link is followed: what would be replaced is what it points to.
    if (::stat(QFile::encodeName(gifFile).constData(), &gifStat) != 0)
        return {}; // nothing there yet (or a dangling link, which the new file replaces)
    if (!S_ISREG(gifStat.st_mode))
        return QStringLiteral("\"%1\" is not a regular file (it is a folder, a device, a FIFO or "
                              "a socket); the GIF is not written there.")
            .arg(gifName);
    struct stat videoStat = {};
    if (::stat(QFile::encodeName(videoFile).constData(), &videoStat) == 0 &&
        videoStat.st_dev == gifStat.st_dev && videoStat.st_ino == gifStat.st_ino)
        return QStringLiteral("The GIF file \"%1\" is the video file itself; writing it would "
                              "destroy the video. Choose another name for the GIF.")
            .arg(gifName);
    return {};
}

TConversionResult RunConversion(const TVGConvertFlag& request,
                                const std::function<void(int)>& progressReport,
                                const std::atomic<bool>& cancel,
                                const TDecoderFactory& decoderFactory) {
    TProgress progress(progressReport);
    if (const QString problem = CheckRequest(request); !problem.isEmpty())
        return Failure(problem);

    // The source.
    std::unique_ptr<TCustomDecoder> decoder =
        decoderFactory ? decoderFactory() : std::make_unique<TFFDecoder>();
    decoder->LoadAVLib(request.LibPath);
    const QString videoName = QDir::toNativeSeparators(request.VideoFile);
    if (!decoder->LoadFile(request.VideoFile) || decoder->VideoStreamIndex() < 0)
        return Failure(QStringLiteral("The video file \"%1\" cannot be opened or holds no video.")
                           .arg(videoName));
    const TVideoStreamInfo info = decoder->GetVideoStreamInfo();
    if (info.Width <= 0 || info.Height <= 0)
        return Failure(QStringLiteral("The video file \"%1\" holds no picture that can be read.")
                           .arg(videoName));
    decoder->SetBitmapBitsPixel(32);

    // Sizes.
    const QRect videoRect(0, 0, info.Width, info.Height);
    QRect cropRect = videoRect;
    if (request.CropEnabled) {
        cropRect = request.CropRect.ToQRect().intersected(videoRect);
        if (cropRect.isEmpty())
            return Failure(QStringLiteral("The crop rectangle lies outside the %1 × %2 video.")
                               .arg(info.Width)
                               .arg(info.Height));
    }
    const QSize outSize = ComputeOutputSize(cropRect.size(), request.SizeScale, request.CustomWidth,
                                            request.CustomHeight);
    if (outSize.width() < 1 || outSize.height() < 1)
        return Failure(
            QStringLiteral("The output size must be at least 1 × 1 pixel (it is %1 × %2).")
                .arg(outSize.width())
                .arg(outSize.height()));
    if (outSize.width() > maxSide || outSize.height() > maxSide)
        return Failure(QStringLiteral("The output size %1 × %2 is too large; at most %3 pixels a "
                                      "side can be written.")
                           .arg(outSize.width())
                           .arg(outSize.height())
                           .arg(maxSide));
    const QSize finalSize = RotatedSize(outSize, request.Rotate);
    const qint64 frameBytes = static_cast<qint64>(finalSize.width()) * finalSize.height() * 3;

    // When frames are taken from the clip.
    const double rate = EffectiveFrameRate(request.GifFPS, request.GifSpeed);
    const int maxFrames = request.GifMaxFrame;
    // A ping-pong order shows most frames twice: it needs fewer of them.
    const int framesNeeded = FramesNeeded(request.Sequence, maxFrames);
    const bool reverse = request.Sequence == foReverse;
    // A clip that runs past the end of the video ends with it.
    const int64_t duration = decoder->GetFileStreamInfo().Duration;
    const int64_t clipEnd = duration > 0 ? std::min(request.EndPTS, duration) : request.EndPTS;
    if (clipEnd < request.StartPTS)
        return Failure(QStringLiteral("The clip starts at %1, after the end of the video (%2).")
                           .arg(FormatPTS(request.StartPTS, 3), FormatPTS(duration, 3)));
    const double step = 1e6 / rate;

    const QString folder = QFileInfo(request.GifFile).absolutePath();
    TFrameSpill spill(folder, frameBytes, reverse ? maxFrames : 0);
    if (!spill.Open())
        return Failure(QStringLiteral("The GIF file cannot be written in \"%1\": %2")
                           .arg(QDir::toNativeSeparators(folder), spill.ErrorString()));

    // Pass 1: decode, sample, leave out deleted frames, crop, scale, draw overlays, turn.
    const auto goOn = [&cancel] { return !cancel.load(); };
    if (!decoder->LocateVideoPTSCallback(request.StartPTS, goOn)) {
        if (cancel)
            return Cancelled();
        return Failure(QStringLiteral("The video file \"%1\" cannot be read at the start of the "
                                      "clip (%2).")
                           .arg(videoName, FormatPTS(request.StartPTS, 3)));
    }
    // A frame's expected duration lets us skip copying frames that the next sample will not
    // show; when a gap proves the guess wrong, the frame is located again.
    const int64_t frameDuration = NominalFrameDuration(info);
    // The decoder runs on a thread of its own and hands the sampled pictures, cropped and scaled,
    // over through a short queue, so decoding and scaling overlap with the rest of preparing the
    // frames; the callbacks run here.
    TSampleQueue queue;
    std::thread decoding([&] {
        QImage picture;
        TScaler scaler;
        int64_t pushedPts = AV_NOPTS_VALUE;
        int64_t currentPts = decoder->CurrentPTS();
        bool pictureReady = decoder->CopyToBitmap(picture);
        bool nextValid = decoder->Decode();
        int64_t nextPts = nextValid ? decoder->CurrentPTS() : AV_NOPTS_VALUE;
        const auto stopped = [&] { return cancel || queue.Stopped(); };
        // Moves on to the next decoded frame, copying its picture when it may be shown.
        const auto advance = [&](bool mayBeShown) {
            currentPts = nextPts;
            pictureReady = mayBeShown && decoder->CopyToBitmap(picture);
            nextValid = decoder->Decode();
            nextPts = nextValid ? decoder->CurrentPTS() : AV_NOPTS_VALUE;
        };
        // Samples are taken at start, start + 1/rate, ... up to and including the clip's end.
        int64_t videoEnd = AV_NOPTS_VALUE;
        for (int64_t k = 0;; ++k) {
            if (stopped())
                return queue.Finish(TSample::Cancelled);
            const int64_t t = request.StartPTS + static_cast<int64_t>(std::llround(k * step));
            if (t > clipEnd)
                break;
            // Past the last frame of the video (its duration unknown or wrong): stop there.
            if (!nextValid && t > currentPts + std::max<int64_t>(frameDuration, 1) && k > 0) {
                videoEnd = currentPts + std::max<int64_t>(frameDuration, 1);
                break;
            }
            // A GIF frame shows the source frame nearest its time (never one past the clip's
            // end), so equal steps of time take equal steps through the source. A frame is
            // copied only when the one after it does not come by the sample time (by the
            // nominal frame duration).
            while (nextValid && nextPts <= t) {
                advance(!(frameDuration > 0 && nextPts + frameDuration <= t));
                if (stopped())
                    return queue.Finish(TSample::Cancelled);
            }
            if (nextValid && nextPts <= clipEnd && ShowsNextFrame(t, currentPts, nextPts))
                advance(true);
            if (!pictureReady) {
                // The guess skipped the frame this sample shows: fetch it again.
                if (!decoder->LocateVideoPTSCallback(currentPts, [&] { return !stopped(); }) ||
                    !decoder->CopyToBitmap(picture)) {
                    TSample failed;
                    failed.Kind = stopped() ? TSample::Cancelled : TSample::Failed;
                    failed.Pts = currentPts;
                    queue.Push(std::move(failed));
                    return;
                }
                pictureReady = true;
                nextValid = decoder->Decode();
                nextPts = nextValid ? decoder->CurrentPTS() : AV_NOPTS_VALUE;
            }
            TSample sample;
            sample.Time = t;
            sample.Pts = currentPts;
            // Cropping and scaling happen here too; a frame that two samples show goes once.
            if (currentPts != pushedPts) {
                sample.Picture = request.CropEnabled ? picture.copy(cropRect) : picture;
                if (sample.Picture.size() != outSize)
                    sample.Picture = scaler.Scale(sample.Picture, outSize);
                pushedPts = currentPts;
            }
            if (!queue.Push(std::move(sample)))
                return;
        }
        queue.Finish(TSample::End, videoEnd);
    });
    // Stops the decoding thread on every way out of this function.
    struct TJoin {
        TSampleQueue& Queue;
        std::thread& Thread;
        ~TJoin() {
            Queue.Stop();
            if (Thread.joinable())
                Thread.join();
        }
    } join{queue, decoding};

    std::vector<uchar> processed(static_cast<size_t>(frameBytes));
    int64_t processedPts = AV_NOPTS_VALUE;
    int kept = 0;
    // Each scene gets a palette of its own: the scene of every frame kept.
    const qsizetype pixels = static_cast<qsizetype>(finalSize.width()) * finalSize.height();
    std::vector<int> sceneOf;
    std::vector<int64_t> ptsOf; // the source frame of every frame kept
    TColorSignature lastSignature{}, signature{};
    int scene = 0, sceneLength = 0;
    int64_t videoEnd = AV_NOPTS_VALUE; // where the frames ran out before the clip's end
    // A forward order never needs more than the maximum frame count, a reverse one keeps the
    // last frames in a ring.
    for (;;) {
        TSample sample = queue.Pop();
        if (sample.Kind == TSample::End) {
            videoEnd = sample.Pts;
            break;
        }
        if (sample.Kind == TSample::Cancelled || cancel)
            return Cancelled();
        if (sample.Kind == TSample::Failed)
            return Failure(QStringLiteral("The video file \"%1\" cannot be read at %2.")
                               .arg(videoName, FormatPTS(sample.Pts, 3)));
        const int64_t t = sample.Time, currentPts = sample.Pts;
        if (request.FrameFilter && request.FrameFilter(currentPts))
            continue;
        if (currentPts != processedPts) {
            QImage frame = std::move(sample.Picture);
            if (request.DrawOverlays) {
                if (frame.format() != QImage::Format_RGB32 &&
                    frame.format() != QImage::Format_ARGB32_Premultiplied)
                    frame = frame.convertToFormat(QImage::Format_RGB32);
                QPainter painter(&frame);
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setRenderHint(QPainter::TextAntialiasing);
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                request.DrawOverlays(painter, frame.width(), frame.height());
            }
            frame = RotateAndFlip(frame, request.Rotate, request.Flip);
            PackRgb(frame, processed.data());
            processedPts = currentPts;
            signature = Signature(processed.data(), pixels);
        }
        if (kept > 0 && sceneLength >= shortestScene &&
            SignatureDistance(lastSignature, signature) > sceneCutDistance) {
            ++scene;
            sceneLength = 0;
        }
        lastSignature = signature;
        ++sceneLength;
        sceneOf.push_back(scene);
        ptsOf.push_back(currentPts);
        if (!spill.Write(kept, processed.data()))
            return Failure(QStringLiteral("Writing the frames in \"%1\" failed: %2. Is the disk "
                                          "full?")
                               .arg(QDir::toNativeSeparators(folder), spill.ErrorString()));
        ++kept;
        progress.Set(60.0 * static_cast<double>(t - request.StartPTS + 1) /
                     static_cast<double>(std::max<int64_t>(1, clipEnd - request.StartPTS + 1)));
        if (!reverse && kept >= framesNeeded)
            break;
    }
    queue.Stop();
    decoding.join();
    const QString warning =
        ShortfallWarning(videoEnd, clipEnd, step, frameDuration, decoder->DamagedFramesLeftOut());
    if (kept == 0)
        return Failure(QStringLiteral("Every frame of the clip is marked deleted: there is "
                                      "nothing to convert."));

    // The frames the GIF shows, in its order.
    const int first = reverse ? std::max(0, kept - maxFrames) : 0;
    const int available = kept - first;
    const std::vector<int> order = OrderFrames(available, request.Sequence, maxFrames);

    // The palettes: one per scene, from every second frame of a long scene. The scene with the
    // most frames in the GIF gets the global palette; the others are written with their frames.
    std::map<int, int> framesOfScene;
    for (int index : order)
        ++framesOfScene[sceneOf[static_cast<size_t>(first + index)]];
    std::vector<int> scenes;
    for (const auto& [id, count] : framesOfScene)
        scenes.push_back(id);
    std::stable_sort(scenes.begin(), scenes.end(),
                     [&](int a, int b) { return framesOfScene[a] > framesOfScene[b]; });
    std::map<int, int> paletteOfScene;
    std::vector<QVector<QRgb>> palettes;
    int paletteFramesDone = 0;
    for (int id : scenes) {
        TPaletteBuilder builder(255, 5);
        const int stride = framesOfScene[id] > 24 ? 2 : 1;
        int seen = 0;
        for (int i = 0; i < available; ++i) {
            if (sceneOf[static_cast<size_t>(first + i)] != id)
                continue;
            if (seen++ % stride != 0)
                continue;
            if (cancel)
                return Cancelled();
            if (!spill.Read(first + i, processed.data()))
                return Failure(
                    QStringLiteral("Reading back the frames failed: %1.").arg(spill.ErrorString()));
            builder.AddRgb(processed.data(), pixels);
            progress.Set(60.0 + 10.0 * (++paletteFramesDone) * stride / std::max(available, 1));
        }
        const QVector<QRgb> colors = builder.Build();
        if (colors.isEmpty())
            return Failure(QStringLiteral("No palette could be made for the GIF."));
        paletteOfScene[id] = static_cast<int>(palettes.size());
        palettes.push_back(colors);
    }

    // Pass 2: remap, compress and write, into a file that replaces the target only when whole.
    const QString gifName = QDir::toNativeSeparators(request.GifFile);
    QSaveFile output(request.GifFile);
    if (!output.open(QIODevice::WriteOnly))
        return Failure(QStringLiteral("The GIF file \"%1\" cannot be written: %2")
                           .arg(gifName, output.errorString()));
    std::optional<int> loopCount;
    if (request.GifLoop < 0)
        loopCount = 0;
    else if (request.GifLoop > 0)
        loopCount = request.GifLoop;
    TGifEncoder encoder(&output, finalSize, loopCount, palettes);
    if (!encoder.Start())
        return Failure(QStringLiteral("Writing the GIF file \"%1\" failed: %2")
                           .arg(gifName, output.errorString()));
    // Consecutive frames that show the same source frame become one image shown as long.
    std::vector<int64_t> sourceOfPosition;
    for (int index : order)
        sourceOfPosition.push_back(ptsOf[static_cast<size_t>(first + index)]);
    const std::vector<TImageRun> runs =
        MergeRepeatedFrames(sourceOfPosition, 100.0 / (rate * request.GifSpeed));
    for (const TImageRun& run : runs) {
        if (cancel) {
            output.cancelWriting();
            return Cancelled();
        }
        const int index = first + order[static_cast<size_t>(run.Position)];
        if (!spill.Read(index, processed.data()))
            return Failure(
                QStringLiteral("Reading back the frames failed: %1.").arg(spill.ErrorString()));
        const int frameScene = sceneOf[static_cast<size_t>(index)];
        if (!encoder.AddFrame(processed.data(), run.DelayCs, paletteOfScene[frameScene])) {
            output.cancelWriting();
            return Failure(QStringLiteral("Writing the GIF file \"%1\" failed: %2. Is the disk "
                                          "full?")
                               .arg(gifName, output.errorString()));
        }
        progress.Set(70.0 + 30.0 * static_cast<double>(run.Position + run.Frames) / order.size());
    }
    if (!encoder.Finish() || !output.commit())
        return Failure(QStringLiteral("Writing the GIF file \"%1\" failed: %2. Is the disk full?")
                           .arg(gifName, output.errorString()));

    TConversionResult result;
    result.Ok = true;
    result.FramesWritten = static_cast<int>(order.size());
    result.ImagesWritten = encoder.ImagesWritten();
    result.Width = finalSize.width();
    result.Height = finalSize.height();
    result.Warning = warning;
    progress.Set(100);
    return result;
}

TVideo2GifThread::TVideo2GifThread(const TVGConvertFlag& request, TDecoderFactory decoderFactory)
    : FRequest(request), FDecoderFactory(std::move(decoderFactory)) {}

TVideo2GifThread::~TVideo2GifThread() {
    Terminate();
    wait();
}

void TVideo2GifThread::run() {
    const QPointer<QObject> window = FRequest.Window;
    FResult = RunConversion(
        FRequest,
        [&](int percent) { CheckPostMessage(window, FRequest.MsgProgress, percent & 0xFFFF, 0); },
        FTerminated, FDecoderFactory);
    if (FResult.Cancelled || FTerminated)
        return;
    if (FResult.Ok)
        // A warning (the GIF is shorter than asked, damaged frames left out) travels along.
        CheckPostMessage(window, FRequest.MsgEnd, FResult.FramesWritten, FRequest.GifMaxFrame,
                         FResult.Warning);
    else
        CheckPostMessage(window, FRequest.MsgError, 0, 0, FResult.Error);
}
