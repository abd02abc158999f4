#include "gifimage/GIFComposer.h"

#include "gifimage/GifSource.h"

#include <array>
#include <cstring>

namespace {

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

TGIFComposer::TGIFComposer(std::shared_ptr<const TGIFImage> image) : FImage(std::move(image)) {
    FCanvas = QImage(FImage->Size(), QImage::Format_ARGB32);
    FCanvas.fill(Qt::transparent);
}

void TGIFComposer::Reset() {
    if (FDrawnPixels > qint64(FCanvas.width()) * FCanvas.height())
        Clear(FCanvas.rect());
    else
        for (const QRect& area : FDrawn)
            Clear(area);
    FDrawn.clear();
    FDrawnPixels = 0;
    FSaved = QImage();
    FIndex = -1;
}

void TGIFComposer::Clear(const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        std::memset(reinterpret_cast<QRgb*>(FCanvas.scanLine(y)) + area.left(), 0,
                    sizeof(QRgb) * static_cast<size_t>(area.width()));
    FBytesTouched += qint64(sizeof(QRgb)) * area.width() * area.height();
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
        Clear(area);
    } else if (frame.Disposal == 3 && !FSaved.isNull()) {
        for (int y = 0; y < FSaved.height(); ++y)
            std::memcpy(reinterpret_cast<QRgb*>(FCanvas.scanLine(area.top() + y)) + area.left(),
                        FSaved.constScanLine(y), sizeof(QRgb) * static_cast<size_t>(area.width()));
        FBytesTouched += FSaved.sizeInBytes();
    }
    FSaved = QImage();
}

void TGIFComposer::Draw(const TGIFFrameInfo& frame) {
    // Only the part of the frame that lies on the canvas is saved, drawn and later disposed of.
    const QRect area = frame.Rect.intersected(FCanvas.rect());
    if (area.isEmpty())
        return;
    if (frame.Disposal == 3) {
        FSaved = FCanvas.copy(area);
        FBytesTouched += FSaved.sizeInBytes();
    }
    FDrawnPixels += qint64(area.width()) * area.height();
    if (FDrawnPixels <= qint64(FCanvas.width()) * FCanvas.height())
        FDrawn.push_back(area);
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
