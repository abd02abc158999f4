#include "engine/QualityScale.h"

#include "engine/Video2Gif.h"

#include <algorithm>
#include <cmath>

namespace {

// From `at` (the balance) to `to` as `share` goes from 0 to 1.
float Toward(float at, float to, float share) {
    return at + (to - at) * share;
}

int TowardInt(int at, int to, float share) {
    return static_cast<int>(
        std::lround(Toward(static_cast<float>(at), static_cast<float>(to), share)));
}

} // namespace

TQualitySettings SettingsForQuality(int quality) {
    quality = std::clamp(quality, 1, 100);
    TQualitySettings settings;
    TGifEncoderOptions& e = settings.Encoder;
    const TGifEncoderOptions balance;
    if (quality > DefaultGifQuality) {
        // Towards exact: no lossy strings, only differences a viewer cannot see are kept.
        const float share = static_cast<float>(quality - DefaultGifQuality) /
                            static_cast<float>(100 - DefaultGifQuality);
        e.LossyTolerance = TowardInt(balance.LossyTolerance, 0, share);
        e.LossyRelative = Toward(balance.LossyRelative, 0, share);
        e.TextureTolerance = Toward(balance.TextureTolerance, 0, share);
        e.KeepDistance = TowardInt(balance.KeepDistance, 8, share);
        // At 100 a change of one level is all that is left out: noisy still pictures need it
        // to reach their best (the phone clip: SSIM 0.9805 at 2, 0.9846 at 1, for 10 % more).
        e.DiffThreshold = TowardInt(balance.DiffThreshold, 1, share);
        e.NoiseLimit = TowardInt(balance.NoiseLimit, 0, share); // at 100 every change is drawn
        // And at 100 each frame gets colours of its own (the film: SSIM 0.961 → 0.971 for 16 %
        // more; two to three times the time, a palette search a frame).
        settings.Palette.PerFrame = quality == 100;
    } else if (quality < DefaultGifQuality) {
        // Towards small: longer strings, more of the picture left as it is on screen.
        const float share = std::pow(static_cast<float>(DefaultGifQuality - quality) /
                                         static_cast<float>(DefaultGifQuality - 1),
                                     0.8f);
        // Fewer colours, longer strings, more of the picture left as it is on screen. Measured
        // on filmed clips, fewer colours cost the least quality for the bytes they save, then
        // the lossy strings; a higher difference threshold the most (past about 12 a picture
        // lags visibly behind what moves), so the colours fall fastest and the threshold least.
        // Against a map that kept every colour down to quality 50 and let the threshold reach
        // 20, the same SSIM takes 10-25 % fewer bytes from quality 20 to 80.
        e.LossyTolerance = TowardInt(balance.LossyTolerance, 250, share);
        e.LossyRelative = Toward(balance.LossyRelative, 3.0f, share);
        e.TextureTolerance = Toward(balance.TextureTolerance, 0.75f, share);
        e.KeepDistance = TowardInt(balance.KeepDistance, 450, share);
        // With these tolerances, errors added to what is on screen would add up frame after
        // frame: a pixel left as it is may only be drawn as well.
        e.KeptMayWorsen = false;
        e.DiffThreshold = TowardInt(balance.DiffThreshold, 12, share);
        // The noise limit stays, as the sources' noise does: once the threshold passes it, a
        // change that counts is drawn at once (dropping larger one-frame changes loses motion).
        // Screen recordings stay exact: with fewer colours they get smaller that way, and far
        // better than with the tolerances above (the screen recording at quality 10: 327 KB at
        // SSIM 0.997 exact, 339 KB at 0.990 with the tolerances; lossy strings on exact
        // drawing made it bigger and worse).
        // 255 colours at the default, about 170 at 80, 140 at 70, 90 at 50, 20 at 10, 8 at 1.
        settings.Palette.MaxColors =
            TowardInt(255, 8,
                      std::sqrt(static_cast<float>(DefaultGifQuality - quality) /
                                static_cast<float>(DefaultGifQuality - 1)));
    }
    return settings;
}
