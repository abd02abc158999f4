#include "conversion/VideoPreview.h"

#include "decoder/FFDecoder.h"

#include <QImageReader>
#include <QPainter>

namespace {
// A picture shown for less than this (a broken time stamp) is held this long.
constexpr int ShortestDelayMs = 10;
} // namespace

TVideoPreview::TVideoPreview(QWidget* parent) : QWidget(parent) {
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, [this] { ShowNext(); });
}

TVideoPreview::~TVideoPreview() = default;

bool TVideoPreview::Open(const QString& fileName, TOutputFormat format, QString& error) {
    FTimer.stop();
    FFormat = format;
    FFileName = fileName;
    FShown = 0;
    FPicture = QImage();
    if (!Rewind()) {
        error =
            QStringLiteral("The %1 file \"%2\" cannot be shown.").arg(FormatName(format), fileName);
        return false;
    }
    // A WebP says how often it plays again (-1: forever); an MP4 plays on like a looping GIF.
    const int loops = FReader ? FReader->loopCount() : -1;
    FPlaysLeft = loops < 0 ? 0 : loops + 1;
    ShowNext();
    if (FShown == 0) {
        error = QStringLiteral("The %1 file \"%2\" holds no picture that can be shown.")
                    .arg(FormatName(format), fileName);
        return false;
    }
    return true;
}

bool TVideoPreview::Rewind() {
    if (FFormat == TOutputFormat::Mp4) {
        // The first picture is read ahead: a picture shows until the next one's time.
        if (!FDecoder) {
            FDecoder = std::make_unique<TFFDecoder>();
            FDecoder->SetBitmapBitsPixel(32);
            if (!FDecoder->LoadFile(FFileName, QString()) || !FDecoder->Decode())
                return false;
            FFirstPts = FDecoder->CurrentPTS();
        } else if (!FDecoder->LocateVideoPTS(FFirstPts)) {
            return false;
        }
        FAheadPts = FDecoder->CurrentPTS();
        return FDecoder->CopyToBitmap(FAhead);
    }
    FReader = std::make_unique<QImageReader>(FFileName, QByteArrayLiteral("webp"));
    return FReader->canRead();
}

bool TVideoPreview::ReadNext(int& delayMs) {
    if (FReader) {
        QImage image;
        if (!FReader->read(&image))
            return false;
        FPicture = std::move(image);
        delayMs = FReader->nextImageDelay();
        return true;
    }
    if (!FDecoder || FAhead.isNull())
        return false;
    FPicture = FAhead;
    const int64_t pts = FAheadPts;
    if (FDecoder->Decode() && FDecoder->CopyToBitmap(FAhead)) {
        FAheadPts = FDecoder->CurrentPTS();
        FLastDelayMs = static_cast<int>(std::max<int64_t>(0, FAheadPts - pts) / 1000);
    } else {
        FAhead = QImage(); // the last picture: shown as long as the one before it
    }
    delayMs = FLastDelayMs;
    return true;
}

void TVideoPreview::ShowNext() {
    int delayMs = 0;
    if (!ReadNext(delayMs)) {
        // The end: over again, as often as the file says.
        if (FShown == 0 || (FPlaysLeft > 0 && --FPlaysLeft == 0) || !Rewind() || !ReadNext(delayMs))
            return;
    }
    ++FShown;
    update();
    FTimer.start(std::max(ShortestDelayMs, delayMs));
}

void TVideoPreview::paintEvent(QPaintEvent*) {
    if (FPicture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, size() != FPicture.size());
    painter.drawImage(rect(), FPicture);
}
