#include "PictureCompare.h"

#include <cmath>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

double Psnr(double squaredError, long count) {
    if (count == 0)
        return 0;
    const double mse = squaredError / double(count);
    return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::vector<double> Luma(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    std::vector<double> luma(size_t(image.width()) * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            luma[size_t(y) * size_t(image.width()) + size_t(x)] =
                0.2126 * qRed(line[x]) + 0.7152 * qGreen(line[x]) + 0.0722 * qBlue(line[x]);
    }
    return luma;
}

} // namespace

double PicturePsnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    double error = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const auto* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x) {
            const int dr = qRed(l[x]) - qRed(r[x]);
            const int dg = qGreen(l[x]) - qGreen(r[x]);
            const int db = qBlue(l[x]) - qBlue(r[x]);
            error += dr * dr + dg * dg + db * db;
        }
    }
    return Psnr(error, 3L * left.width() * left.height());
}

double LumaPsnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 0;
    const std::vector<double> left = Luma(a), right = Luma(b);
    double error = 0;
    for (size_t i = 0; i < left.size(); ++i)
        error += (left[i] - right[i]) * (left[i] - right[i]);
    return Psnr(error, long(left.size()));
}

double LumaSsim(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.width() < 8 || a.height() < 8)
        return 0;
    const std::vector<double> left = Luma(a), right = Luma(b);
    const int width = a.width();
    const double c1 = 6.5025, c2 = 58.5225; // (0.01 * 255)², (0.03 * 255)²
    double sum = 0;
    int windows = 0;
    for (int y0 = 0; y0 + 8 <= a.height(); y0 += 4)
        for (int x0 = 0; x0 + 8 <= width; x0 += 4) {
            double ml = 0, mr = 0, vl = 0, vr = 0, cov = 0;
            for (int y = y0; y < y0 + 8; ++y)
                for (int x = x0; x < x0 + 8; ++x) {
                    const double l = left[size_t(y) * size_t(width) + size_t(x)];
                    const double r = right[size_t(y) * size_t(width) + size_t(x)];
                    ml += l;
                    mr += r;
                    vl += l * l;
                    vr += r * r;
                    cov += l * r;
                }
            ml /= 64;
            mr /= 64;
            vl = vl / 64 - ml * ml;
            vr = vr / 64 - mr * mr;
            cov = cov / 64 - ml * mr;
            sum +=
                ((2 * ml * mr + c1) * (2 * cov + c2)) / ((ml * ml + mr * mr + c1) * (vl + vr + c2));
            ++windows;
        }
    return windows > 0 ? sum / windows : 0;
}

QImage LanczosPart(const QImage& picture, const QRect& part, const QSize& size) {
    const QImage source = picture.copy(part).convertToFormat(QImage::Format_RGB32);
    const int inW = source.width(), inH = source.height();
    const size_t inPlane = size_t(inW) * size_t(inH);
    const size_t outPlane = size_t(size.width()) * size_t(size.height());
    std::vector<uint8_t> in(inPlane * 3), out(outPlane * 3);
    for (int y = 0; y < inH; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < inW; ++x) {
            const size_t i = size_t(y) * size_t(inW) + size_t(x);
            in[i] = uint8_t(qGreen(line[x]));
            in[i + inPlane] = uint8_t(qBlue(line[x]));
            in[i + 2 * inPlane] = uint8_t(qRed(line[x]));
        }
    }
    SwsContext* context =
        sws_getContext(inW, inH, AV_PIX_FMT_GBRP, size.width(), size.height(), AV_PIX_FMT_GBRP,
                       SWS_LANCZOS | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (context == nullptr)
        return QImage();
    const uint8_t* const inPlanes[] = {in.data(), in.data() + inPlane, in.data() + 2 * inPlane};
    const int inStrides[] = {inW, inW, inW};
    uint8_t* const outPlanes[] = {out.data(), out.data() + outPlane, out.data() + 2 * outPlane};
    const int outStrides[] = {size.width(), size.width(), size.width()};
    sws_scale(context, inPlanes, inStrides, 0, inH, outPlanes, outStrides);
    sws_freeContext(context);
    QImage result(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const size_t i = size_t(y) * size_t(size.width()) + size_t(x);
            line[x] = qRgb(out[i + 2 * outPlane], out[i], out[i + outPlane]);
        }
    }
    return result;
}
