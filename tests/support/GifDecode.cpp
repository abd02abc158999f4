#include "tests/support/GifDecode.h"

#include <QFile>
#include <cstring>
#include <gif_lib.h>

namespace {
struct TReadState {
    const QByteArray* Bytes;
    qsizetype Offset = 0;
};

int ReadBytes(GifFileType* gif, GifByteType* buffer, int count) {
    auto* state = static_cast<TReadState*>(gif->UserData);
    const qsizetype n = std::min<qsizetype>(count, state->Bytes->size() - state->Offset);
    std::memcpy(buffer, state->Bytes->constData() + state->Offset, static_cast<size_t>(n));
    state->Offset += n;
    return static_cast<int>(n);
}
} // namespace

int TDecodedGif::TotalDelayCs() const {
    int total = 0;
    for (const auto& image : Images)
        total += image.DelayCs;
    return total;
}

std::vector<QImage> TDecodedGif::FramesShown(int stepCs) const {
    std::vector<QImage> shown;
    for (size_t i = 0; i < Composed.size() && i < Images.size() && stepCs > 0; ++i)
        for (int cs = 0; cs < Images[i].DelayCs; cs += stepCs)
            shown.push_back(Composed[i]);
    return shown;
}

TDecodedGif DecodeGifBytes(const QByteArray& bytes) {
    TDecodedGif result;
    TReadState state{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&state, ReadBytes, &error);
    if (!gif) {
        result.Error = QString::fromLatin1(GifErrorString(error));
        return result;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        result.Error = QString::fromLatin1(GifErrorString(gif->Error));
        DGifCloseFile(gif, &error);
        return result;
    }
    result.Width = gif->SWidth;
    result.Height = gif->SHeight;
    if (gif->SColorMap) {
        result.GlobalColors = gif->SColorMap->ColorCount;
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            const GifColorType c = gif->SColorMap->Colors[i];
            result.Palette.push_back(qRgb(c.Red, c.Green, c.Blue));
        }
    }
    // giflib attaches the extensions before an image to that image.
    auto findLoop = [&](const ExtensionBlock* blocks, int count) {
        for (int b = 0; b + 1 < count; ++b) {
            const ExtensionBlock& block = blocks[b];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && blocks[b + 1].ByteCount >= 3)
                result.LoopCount = blocks[b + 1].Bytes[1] | (blocks[b + 1].Bytes[2] << 8);
        }
    };
    findLoop(gif->ExtensionBlocks, gif->ExtensionBlockCount);
    if (gif->ImageCount > 0)
        findLoop(gif->SavedImages[0].ExtensionBlocks, gif->SavedImages[0].ExtensionBlockCount);
    QImage canvas(result.Width, result.Height, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& saved = gif->SavedImages[i];
        TDecodedGif::TImage image;
        image.Left = saved.ImageDesc.Left;
        image.Top = saved.ImageDesc.Top;
        image.Width = saved.ImageDesc.Width;
        image.Height = saved.ImageDesc.Height;
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
            image.DelayCs = gcb.DelayTime;
            image.Disposal = gcb.DisposalMode;
            image.TransparentIndex = gcb.TransparentColor;
        }
        const qsizetype count = static_cast<qsizetype>(image.Width) * image.Height;
        image.Indices.assign(saved.RasterBits, saved.RasterBits + count);
        if (saved.ImageDesc.ColorMap)
            image.LocalColors = saved.ImageDesc.ColorMap->ColorCount;
        const ColorMapObject* map =
            saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
        for (int y = 0; y < image.Height; ++y)
            for (int x = 0; x < image.Width; ++x) {
                const int index = image.Indices[static_cast<size_t>(y * image.Width + x)];
                if (index == image.TransparentIndex || !map || index >= map->ColorCount)
                    continue;
                const int cx = image.Left + x, cy = image.Top + y;
                if (cx < result.Width && cy < result.Height) {
                    const GifColorType c = map->Colors[index];
                    canvas.setPixel(cx, cy, qRgb(c.Red, c.Green, c.Blue));
                }
            }
        result.Composed.push_back(canvas.copy());
        if (image.Disposal == DISPOSE_BACKGROUND)
            for (int y = 0; y < image.Height; ++y)
                for (int x = 0; x < image.Width; ++x)
                    canvas.setPixel(image.Left + x, image.Top + y, qRgba(0, 0, 0, 0));
        result.Images.push_back(std::move(image));
    }
    DGifCloseFile(gif, &error);
    result.Ok = true;
    return result;
}

TDecodedGif DecodeGifFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        TDecodedGif result;
        result.Error = file.errorString();
        return result;
    }
    return DecodeGifBytes(file.readAll());
}
