#include "engine/Quantizer.h"

#include <algorithm>
#include <climits>
#include <libimagequant.h>
#include <omp.h>
#include <vector>

namespace {
// The library runs its own worker threads inside each call; we run several calls at once on our
// own threads instead, so each call keeps to the thread it is made on.
void KeepToThisThread() {
    omp_set_num_threads(1);
}

std::vector<const uchar*> RowPointers(const uchar* rgba, int height, int bytesPerLine) {
    std::vector<const uchar*> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = rgba + static_cast<qsizetype>(y) * bytesPerLine;
    return rows;
}

int ColorDistance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b),
              da = qAlpha(a) - qAlpha(b);
    return dr * dr + dg * dg + db * db + da * da;
}
} // namespace

TPaletteBuilder::TPaletteBuilder(int maxColors, int speed) {
    FAttr = liq_attr_create();
    if (!FAttr)
        return;
    liq_set_max_colors(FAttr, std::clamp(maxColors, 2, 256));
    liq_set_speed(FAttr, std::clamp(speed, 1, 10));
    FHistogram = liq_histogram_create(FAttr);
}

TPaletteBuilder::~TPaletteBuilder() {
    if (FHistogram)
        liq_histogram_destroy(FHistogram);
    if (FAttr)
        liq_attr_destroy(FAttr);
}

void TPaletteBuilder::AddPixels(const uchar* rgba, int width, int height, int bytesPerLine) {
    if (!FHistogram || width <= 0 || height <= 0)
        return;
    KeepToThisThread();
    // The library keeps the row array only for the life of the image object.
    std::vector<const uchar*> rows = RowPointers(rgba, height, bytesPerLine);
    liq_image* image = liq_image_create_rgba_rows(
        FAttr, reinterpret_cast<void**>(const_cast<uchar**>(rows.data())), width, height, 0);
    if (!image)
        return;
    if (liq_histogram_add_image(FHistogram, FAttr, image) == LIQ_OK)
        ++FAdded;
    liq_image_destroy(image);
}

QVector<QRgb> TPaletteBuilder::Build() {
    QVector<QRgb> colors;
    if (!FHistogram || FAdded == 0)
        return colors;
    liq_result* result = nullptr;
    if (liq_histogram_quantize(FHistogram, FAttr, &result) != LIQ_OK || !result)
        return colors;
    const liq_palette* palette = liq_get_palette(result);
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color& c = palette->entries[i];
        colors.append(qRgb(c.r, c.g, c.b));
    }
    liq_result_destroy(result);
    return colors;
}

TRemapper::TRemapper(const QVector<QRgb>& palette, int transparentIndex, float dither)
    : FPalette(palette) {
    if (palette.isEmpty() || palette.size() > 256)
        return;
    KeepToThisThread();
    FAttr = liq_attr_create();
    if (!FAttr)
        return;
    liq_set_max_colors(FAttr, static_cast<int>(palette.size()));
    // A one-pixel picture whose quantization keeps exactly the fixed colours: a result that
    // belongs to this object alone, so remapping threads share nothing.
    const QRgb first = palette[0];
    uchar pixel[4] = {static_cast<uchar>(qRed(first)), static_cast<uchar>(qGreen(first)),
                      static_cast<uchar>(qBlue(first)), 255};
    if (transparentIndex == 0)
        pixel[3] = 0;
    liq_image* seed = liq_image_create_rgba(FAttr, pixel, 1, 1, 0);
    if (!seed)
        return;
    for (int i = 0; i < palette.size(); ++i) {
        const QRgb c = palette[i];
        const bool clear = i == transparentIndex;
        liq_image_add_fixed_color(seed, liq_color{static_cast<unsigned char>(clear ? 0 : qRed(c)),
                                                  static_cast<unsigned char>(clear ? 0 : qGreen(c)),
                                                  static_cast<unsigned char>(clear ? 0 : qBlue(c)),
                                                  static_cast<unsigned char>(clear ? 0 : 255)});
        if (clear)
            FPalette[i] = qRgba(0, 0, 0, 0);
        else
            FPalette[i] = qRgba(qRed(c), qGreen(c), qBlue(c), 255);
    }
    if (liq_image_quantize(seed, FAttr, &FResult) != LIQ_OK)
        FResult = nullptr;
    liq_image_destroy(seed);
    if (FResult)
        liq_set_dithering_level(FResult, std::clamp(dither, 0.0f, 1.0f));
}

TRemapper::~TRemapper() {
    if (FResult)
        liq_result_destroy(FResult);
    if (FAttr)
        liq_attr_destroy(FAttr);
}

bool TRemapper::Remap(const uchar* rgba, int width, int height, int bytesPerLine, uchar* indices) {
    if (!FResult || width <= 0 || height <= 0)
        return false;
    KeepToThisThread();
    std::vector<const uchar*> rows = RowPointers(rgba, height, bytesPerLine);
    liq_image* image = liq_image_create_rgba_rows(
        FAttr, reinterpret_cast<void**>(const_cast<uchar**>(rows.data())), width, height, 0);
    if (!image)
        return false;
    const bool ok = liq_write_remapped_image(FResult, image, indices,
                                             static_cast<size_t>(width) * height) == LIQ_OK;
    liq_image_destroy(image);
    if (!ok)
        return false;
    // The library orders its palette as it likes: translate its indices to ours.
    if (!FMapped) {
        const liq_palette* local = liq_get_palette(FResult);
        for (unsigned i = 0; i < local->count && i < 256; ++i) {
            const liq_color& c = local->entries[i];
            const QRgb color = qRgba(c.r, c.g, c.b, c.a);
            int best = 0, bestDistance = INT_MAX;
            for (int j = 0; j < FPalette.size(); ++j) {
                const int d = ColorDistance(color, FPalette[j]);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = j;
                }
            }
            FToGlobal[i] = static_cast<uchar>(best);
        }
        FMapped = true;
    }
    const qsizetype count = static_cast<qsizetype>(width) * height;
    for (qsizetype i = 0; i < count; ++i)
        indices[i] = FToGlobal[indices[i]];
    return true;
}
