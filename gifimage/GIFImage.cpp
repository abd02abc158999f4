#include "gifimage/GIFImage.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cstring>
#include <gif_lib.h>

namespace {

// Bytes handed to giflib from memory, possibly from several pieces one after the other.
struct TByteSource {
    std::array<const char*, 3> Parts{};
    std::array<qsizetype, 3> Sizes{};
    int PartCount = 0;
    int Part = 0;
    qsizetype Pos = 0;   // within the current part
    qsizetype Total = 0; // bytes handed out so far

    void Add(const char* data, qsizetype size) {
        Parts[PartCount] = data;
        Sizes[PartCount] = size;
        ++PartCount;
    }
};

int ReadFromSource(GifFileType* gif, GifByteType* buffer, int count) {
    auto* source = static_cast<TByteSource*>(gif->UserData);
    int done = 0;
    while (done < count && source->Part < source->PartCount) {
        const qsizetype left = source->Sizes[source->Part] - source->Pos;
        if (left <= 0) {
            ++source->Part;
            source->Pos = 0;
            continue;
        }
        const qsizetype n = std::min<qsizetype>(count - done, left);
        std::memcpy(buffer + done, source->Parts[source->Part] + source->Pos,
                    static_cast<size_t>(n));
        source->Pos += n;
        done += static_cast<int>(n);
    }
    source->Total += done;
    return done;
}

struct TGifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using TGifHandle = std::unique_ptr<GifFileType, TGifCloser>;

TGifHandle OpenSource(TByteSource* source, int* error) {
    return TGifHandle(DGifOpen(source, ReadFromSource, error));
}

QString ErrorName(int code) {
    const char* text = GifErrorString(code);
    return text ? QString::fromLatin1(text) : QStringLiteral("error %1").arg(code);
}

// The rows of an image in the order the file stores them.
int StoredRow(int line, int height, bool interlaced) {
    if (!interlaced)
        return line;
    static constexpr int start[4] = {0, 4, 2, 1};
    static constexpr int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows =
            height > start[pass] ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (line < rows)
            return start[pass] + line * step[pass];
        line -= rows;
    }
    return -1;
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
    data.resize(size);
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

TGIFComposer::TGIFComposer(std::shared_ptr<const TGIFImage> image) : FImage(std::move(image)) {
    FCanvas = QImage(FImage->Size(), QImage::Format_ARGB32);
    Reset();
}

void TGIFComposer::Reset() {
    FCanvas.fill(Qt::transparent);
    FSaved = QImage();
    FIndex = -1;
}

int TGIFComposer::Advance() {
    const int count = FImage->FrameCount();
    if (count == 0 || FCanvas.isNull())
        return -1;
    if (FIndex >= 0 && FIndex + 1 < count) {
        Dispose();
        ++FIndex;
    } else {
        Reset();
        FIndex = 0;
    }
    Draw(FImage->Frame(FIndex));
    return FIndex;
}

void TGIFComposer::ShowFrame(int index) {
    if (index < 0 || index >= FImage->FrameCount())
        return;
    if (index < FIndex)
        Reset();
    while (FIndex < index)
        Advance();
}

void TGIFComposer::Dispose() {
    const TGIFFrameInfo& frame = FImage->Frame(FIndex);
    const QRect area = frame.Rect.intersected(FCanvas.rect());
    if (area.isEmpty())
        return;
    if (frame.Disposal == 2) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            std::memset(reinterpret_cast<QRgb*>(FCanvas.scanLine(y)) + area.left(), 0,
                        sizeof(QRgb) * static_cast<size_t>(area.width()));
    } else if (frame.Disposal == 3 && !FSaved.isNull()) {
        for (int y = 0; y < FSaved.height(); ++y)
            std::memcpy(reinterpret_cast<QRgb*>(FCanvas.scanLine(area.top() + y)) + area.left(),
                        FSaved.constScanLine(y), sizeof(QRgb) * static_cast<size_t>(area.width()));
    }
    FSaved = QImage();
}

void TGIFComposer::Draw(const TGIFFrameInfo& frame) {
    const QRect area = frame.Rect.intersected(FCanvas.rect());
    if (frame.Disposal == 3 && !area.isEmpty())
        FSaved = FCanvas.copy(area);
    if (area.isEmpty())
        return;
    const QByteArray& data = FImage->Data();
    TByteSource source;
    source.Add(data.constData(), FImage->HeaderLength());
    source.Add(data.constData() + frame.Offset, frame.Length);
    static const char trailer = ';';
    source.Add(&trailer, 1);
    int error = 0;
    TGifHandle gif = OpenSource(&source, &error);
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (!gif || DGifGetRecordType(gif.get(), &type) != GIF_OK || type != IMAGE_DESC_RECORD_TYPE ||
        DGifGetImageDesc(gif.get()) != GIF_OK)
        return;
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (!map)
        return;
    // Indices without a colour (beyond the table) and the transparent one leave the canvas alone.
    std::array<QRgb, 256> colours{};
    std::array<bool, 256> opaque{};
    for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
        colours[i] = qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
        opaque[i] = i != frame.TransparentIndex;
    }
    const int width = frame.Rect.width(), height = frame.Rect.height();
    QByteArray line(width, '\0');
    auto* pixels = reinterpret_cast<GifPixelType*>(line.data());
    const int left = area.left() - frame.Rect.left(), right = area.right() - frame.Rect.left();
    for (int stored = 0; stored < height; ++stored) {
        // A damaged frame shows the rows that could be decompressed, as browsers do.
        if (DGifGetLine(gif.get(), pixels, width) != GIF_OK)
            return;
        const int y = frame.Rect.top() + StoredRow(stored, height, frame.Interlaced);
        if (y < area.top() || y > area.bottom())
            continue;
        auto* target = reinterpret_cast<QRgb*>(FCanvas.scanLine(y)) + frame.Rect.left();
        for (int x = left; x <= right; ++x) {
            const GifPixelType index = pixels[x];
            if (opaque[index])
                target[x] = colours[index];
        }
    }
}
