#include "tests/gifimage/GifMaker.h"

#include <gif_lib.h>
#include <stdexcept>

namespace {
int WriteBytes(GifFileType* gif, const GifByteType* bytes, int count) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), count);
    return count;
}

ColorMapObject* MakeMap(const std::vector<QRgb>& colours) {
    std::vector<GifColorType> entries;
    for (QRgb c : colours)
        entries.push_back({static_cast<GifByteType>(qRed(c)), static_cast<GifByteType>(qGreen(c)),
                           static_cast<GifByteType>(qBlue(c))});
    return GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
}

void Check(int result, const char* what) {
    if (result != GIF_OK)
        throw std::runtime_error(what);
}

void PutLoop(GifFileType* gif, int count) {
    const unsigned char id[] = "NETSCAPE2.0";
    const unsigned char data[] = {1, static_cast<unsigned char>(count & 0xFF),
                                  static_cast<unsigned char>(count >> 8)};
    Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), "loop leader");
    Check(EGifPutExtensionBlock(gif, 11, id), "loop id");
    Check(EGifPutExtensionBlock(gif, 3, data), "loop count");
    Check(EGifPutExtensionTrailer(gif), "loop trailer");
}

void PutFrame(GifFileType* gif, const TTestFrame& frame) {
    GraphicsControlBlock control{};
    control.DisposalMode = frame.Disposal;
    control.DelayTime = frame.DelayCs;
    control.TransparentColor = frame.Transparent;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension),
          "control");
    ColorMapObject* local = frame.LocalPalette.empty() ? nullptr : MakeMap(frame.LocalPalette);
    const int w = frame.Rect.width(), h = frame.Rect.height();
    const int result =
        EGifPutImageDesc(gif, frame.Rect.left(), frame.Rect.top(), w, h, frame.Interlaced, local);
    GifFreeMapObject(local);
    Check(result, "image");
    std::vector<int> rows;
    if (frame.Interlaced) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < h; y += step)
                rows.push_back(y);
    } else {
        for (int y = 0; y < h; ++y)
            rows.push_back(y);
    }
    for (int y : rows) {
        std::vector<GifPixelType> line(frame.Indices.begin() + y * w,
                                       frame.Indices.begin() + (y + 1) * w);
        Check(EGifPutLine(gif, line.data(), w), "line");
    }
    // giflib keeps its copy of a local table until the next table or the end, and loses it when
    // a later image has none.
    GifFreeMapObject(gif->Image.ColorMap);
    gif->Image.ColorMap = nullptr;
}
} // namespace

std::vector<QRgb> FourColours() {
    return {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
}

TTestFrame FilledFrame(const QRect& rect, unsigned char index, int disposal, int delayCs) {
    TTestFrame frame;
    frame.Rect = rect;
    frame.Indices.assign(static_cast<size_t>(rect.width() * rect.height()), index);
    frame.Disposal = disposal;
    frame.DelayCs = delayCs;
    return frame;
}

QByteArray WriteTestGif(const TTestGif& gifDesc) {
    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, WriteBytes, &error);
    if (!gif)
        throw std::runtime_error("EGifOpen");
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = MakeMap(gifDesc.Palette);
    const int result = EGifPutScreenDesc(gif, gifDesc.Width, gifDesc.Height, 8, 0, map);
    GifFreeMapObject(map);
    Check(result, "screen");
    if (gifDesc.Loop)
        PutLoop(gif, *gifDesc.Loop);
    for (const TTestFrame& frame : gifDesc.Frames)
        PutFrame(gif, frame);
    Check(EGifCloseFile(gif, &error), "close");
    return bytes;
}
