#pragma once
// Measures of how alike two pictures of one size are, and the two-step reference of a scaled
// part (whole picture, crop, Lanczos scaling on RGB planes) that the one-step conversion must
// match.

#include <QImage>
#include <QRect>
#include <QSize>

// Peak signal-to-noise ratio over red, green and blue in dB (99 for equal pictures); 0 when the
// sizes differ.
double PicturePsnr(const QImage& a, const QImage& b);
// PSNR of the luma (BT.709 weights) alone.
double LumaPsnr(const QImage& a, const QImage& b);
// Mean structural similarity of the luma, over 8 x 8 windows.
double LumaSsim(const QImage& a, const QImage& b);

// `part` of `picture` scaled to `size` with swscale's Lanczos filter on planes of red, green and
// blue, as the conversion engine scaled before it asked the decoder for small pictures.
QImage LanczosPart(const QImage& picture, const QRect& part, const QSize& size);
