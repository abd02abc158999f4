// The settings reader on any bytes: what it accepts lies in the ranges the program relies on,
// and is saved and read back to the very same settings.

#include "common/MsgBox.h"
#include "project/VGConfig.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// A folder that is never written: the target reads and saves bytes only.
const QString NoFolder = QStringLiteral("/nonexistent/");

void CheckRanges(const TVGConfig& c) {
    using namespace SettingLimits;
    FUZZ_CHECK(c.GifMaxFrame >= 1 && c.GifMaxFrame <= MaxGifFrames);
    FUZZ_CHECK(c.GifFPS >= 1 && c.GifFPS <= MaxGifFPS);
    FUZZ_CHECK(c.GifSpeed > 0 && c.GifSpeed <= MaxGifSpeed);
    FUZZ_CHECK(c.GifLoop >= -1 && c.GifLoop <= MaxGifLoop);
    FUZZ_CHECK(c.DecodeNum >= 1 && c.DecodeNum <= MaxDecodeNum);
    FUZZ_CHECK(c.FontSize >= 1 && c.FontSize <= MaxFontSize);
    FUZZ_CHECK(c.GifQuality >= 1 && c.GifQuality <= 100);
    FUZZ_CHECK(c.GifMaxSize >= 0);
}

void CheckSame(const TVGConfig& a, const TVGConfig& b) {
    FUZZ_CHECK(a.InstallTracked == b.InstallTracked && a.ShowCropRc == b.ShowCropRc);
    FUZZ_CHECK(a.CropRcColor == b.CropRcColor && a.SizeStyle == b.SizeStyle);
    FUZZ_CHECK(a.GifMaxFrame == b.GifMaxFrame && a.GifFPS == b.GifFPS);
    FUZZ_CHECK(a.GifSpeed == b.GifSpeed && a.GifLoop == b.GifLoop);
    FUZZ_CHECK(a.DecodeNum == b.DecodeNum && a.PartnerStatus == b.PartnerStatus);
    FUZZ_CHECK(a.FontSize == b.FontSize && a.FontColor == b.FontColor);
    FUZZ_CHECK(a.FontStyles == b.FontStyles);
    FUZZ_CHECK(a.GifQuality == b.GifQuality && a.GifMaxSize == b.GifMaxSize);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetMsgBoxHandler([](const TMsgBoxRequest& request) {
        return DefaultMsgBoxResult(request.Buttons, request.DefaultButton);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TVGConfig config(NoFolder);
    if (!config.LoadFromData(FuzzBytes(data, size))) {
        FUZZ_CHECK(!config.Loaded);
        return 0;
    }
    FUZZ_CHECK(config.Loaded);
    CheckRanges(config);

    const QByteArray saved = SerializeXMLDocument(config.SaveToDocument());
    TVGConfig reread(NoFolder);
    QString problem;
    if (!reread.LoadFromData(saved, &problem)) {
        std::fprintf(stderr, "saved settings do not read back: %s\n", qPrintable(problem));
        std::abort();
    }
    CheckSame(config, reread);
    // Texts XML cannot carry are left out when saving, so the second save is the first one.
    FUZZ_CHECK(SerializeXMLDocument(reread.SaveToDocument()) == saved);
    return 0;
}
