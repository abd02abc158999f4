#include "gifimage/GIFImage.h"

#include "gifimage/GifSource.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <gif_lib.h>
#include <new>

namespace {

QString ErrorName(int code) {
    const char* text = GifErrorString(code);
    return text ? QString::fromLatin1(text) : QStringLiteral("error %1").arg(code);
}

} // namespace

// Walks a GIF once: the frame table, the loop count and progress.
class TGIFLoader {
public:
    TGIFLoader(TGIFImage& image, const QString& name) : FImage(image), FName(name) {}
    bool Run();

private:
    bool Fail(const QString& error) {
        FImage.FError = error;
        FImage.FFrames.clear();
        return false;
    }
    void Progress();
    // Records the frame whose descriptor giflib has just read; false when its data ends early.
    bool ReadImage(GifFileType* gif, qsizetype start);
    // Takes what the extension says; false when it ends early.
    bool ReadExtension(GifFileType* gif);
    QString What() const {
        return FName.isEmpty() ? QStringLiteral("The GIF picture")
                               : QStringLiteral("The file \"%1\"").arg(FName);
    }

    TGIFImage& FImage;
    QString FName;
    TByteSource FSource;
    GraphicsControlBlock FControl{};
    bool FHasControl = false;
    bool FLoopRead = false;
    int FPercent = -1;
};

void TGIFLoader::Progress() {
    if (!FImage.OnProgress)
        return;
    const qsizetype size = FImage.FData.size();
    const int percent = size > 0 ? static_cast<int>(50 + 50 * FSource.Total / size) : 100;
    if (percent != FPercent) {
        FPercent = percent;
        FImage.OnProgress(QStringLiteral("Loading..."), percent);
    }
}

bool TGIFLoader::ReadImage(GifFileType* gif, qsizetype start) {
    if (DGifGetImageDesc(gif) != GIF_OK)
        return false;
    TGIFFrameInfo frame;
    const GifImageDesc& desc = gif->Image;
    frame.Rect = QRect(desc.Left, desc.Top, desc.Width, desc.Height);
    frame.Interlaced = desc.Interlace;
    frame.Offset = start;
    if (FHasControl) {
        frame.DelayCs = FControl.DelayTime;
        frame.Disposal = FControl.DisposalMode;
        frame.TransparentIndex = FControl.TransparentColor;
    }
    FHasControl = false;
    // The compressed data is skipped here and decompressed when the frame is shown.
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) != GIF_OK)
        return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) != GIF_OK)
            return false;
    }
    frame.Length = FSource.Total - start;
    FImage.FFrames.push_back(frame);
    return true;
}

bool TGIFLoader::ReadExtension(GifFileType* gif) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) != GIF_OK)
        return false;
    bool loopBlockNext = false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        FHasControl = DGifExtensionToGCB(block[0], block + 1, &FControl) == GIF_OK;
    } else if (code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11) {
        loopBlockNext = std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 ||
                        std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0;
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) != GIF_OK)
            return false;
        if (loopBlockNext && block && block[0] >= 3 && block[1] == 1 && !FLoopRead) {
            FImage.FLoopCount = block[2] | (block[3] << 8);
            FLoopRead = true;
        }
        loopBlockNext = false;
    }
    return true;
}

bool TGIFLoader::Run() {
    FSource.Add(FImage.FData.constData(), FImage.FData.size());
    int error = 0;
    TGifHandle gif = OpenSource(&FSource, &error);
    if (!gif) {
        if (error == D_GIF_ERR_NOT_GIF_FILE)
            return Fail(QStringLiteral("%1 is not a GIF picture.").arg(What()));
        return Fail(QStringLiteral("%1 cannot be read as a GIF picture (%2).")
                        .arg(What(), ErrorName(error)));
    }
    const qint64 pixels = qint64(gif->SWidth) * gif->SHeight;
    if (pixels <= 0)
        return Fail(QStringLiteral("%1 has no picture size.").arg(What()));
    if (pixels > TGIFImage::MaxPixels)
        return Fail(QStringLiteral("%1 is %2 × %3 pixels, larger than this program can show.")
                        .arg(What())
                        .arg(gif->SWidth)
                        .arg(gif->SHeight));
    FImage.FSize = QSize(gif->SWidth, gif->SHeight);
    FImage.FHeaderLength = FSource.Total;
    bool ended = false;
    while (!ended) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        const qsizetype start = FSource.Total;
        bool ok = DGifGetRecordType(gif.get(), &type) == GIF_OK;
        if (ok && type == IMAGE_DESC_RECORD_TYPE)
            ok = ReadImage(gif.get(), start);
        else if (ok && type == EXTENSION_RECORD_TYPE)
            ok = ReadExtension(gif.get());
        ended = ok && type == TERMINATE_RECORD_TYPE;
        if (!ok) {
            // A file cut short (or with rubbish after its last frame): the whole frames stay.
            FImage.FTruncated = true;
            break;
        }
        Progress();
    }
    if (FImage.FFrames.isEmpty())
        return Fail(FImage.FTruncated ? QStringLiteral("%1 is damaged or cut short: it holds no "
                                                       "whole picture.")
                                            .arg(What())
                                      : QStringLiteral("%1 holds no picture.").arg(What()));
    if (FImage.OnProgress && FPercent != 100)
        FImage.OnProgress(QStringLiteral("Loading..."), 100);
    return true;
}

void TGIFImage::Clear() {
    FData.clear();
    FHeaderLength = 0;
    FSize = QSize();
    FFrames.clear();
    FLoopCount = -1;
    FTruncated = false;
    FError.clear();
}

bool TGIFImage::LoadFromFile(const QString& fileName) {
    Clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        FError = QStringLiteral("The file \"%1\" cannot be opened: %2.")
                     .arg(fileName, file.errorString());
        return false;
    }
    const qint64 size = file.size();
    if (size <= 0) {
        FError = QStringLiteral("The file \"%1\" is empty.").arg(fileName);
        return false;
    }
    QByteArray data;
    try {
        data.resize(size);
    } catch (const std::bad_alloc&) {
        FError = QStringLiteral("The file \"%1\" is too large to be shown (%2 MB).")
                     .arg(fileName)
                     .arg(size >> 20);
        return false;
    }
    qint64 done = 0;
    int percent = -1;
    constexpr qint64 chunk = 1 << 20;
    while (done < size) {
        const qint64 n = file.read(data.data() + done, std::min(chunk, size - done));
        if (n <= 0)
            break;
        done += n;
        const int now = static_cast<int>(50 * done / size);
        if (OnProgress && now != percent)
            OnProgress(QStringLiteral("Loading..."), percent = now);
    }
    data.resize(done);
    FData = std::move(data);
    TGIFLoader loader(*this, QFileInfo(fileName).fileName());
    return loader.Run();
}

bool TGIFImage::LoadFromData(const QByteArray& data) {
    Clear();
    FData = data;
    TGIFLoader loader(*this, {});
    return loader.Run();
}

int TGIFImage::PlayedDelayMs(int delayCs) {
    // Browsers play very short delays as 10 cs: many GIFs rely on it.
    return (delayCs < 2 ? 10 : delayCs) * 10;
}

int TGIFImage::FrameDelayMs(int index) const {
    return PlayedDelayMs(FFrames[index].DelayCs);
}

int TGIFImage::PlayCount() const {
    if (FLoopCount < 0)
        return 1;
    return FLoopCount == 0 ? 0 : FLoopCount + 1;
}
