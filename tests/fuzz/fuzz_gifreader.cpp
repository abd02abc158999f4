// The GIF reader on any bytes: a picture it refuses says why; of one it accepts, every frame lies
// inside the file, and every frame composes on a canvas of the picture's size, the same way
// whether it is reached playing or asked for directly.

#include "gifimage/GIFComposer.h"
#include "gifimage/GIFImage.h"
#include "tests/fuzz/FuzzCheck.h"

#include <memory>

namespace {

void CheckFrames(const TGIFImage& image) {
    FUZZ_CHECK(image.FrameCount() > 0);
    FUZZ_CHECK(!image.Size().isEmpty());
    FUZZ_CHECK(qint64(image.Width()) * image.Height() <= TGIFImage::MaxPixels);
    const qsizetype fileSize = image.Data().size();
    for (int i = 0; i < image.FrameCount(); ++i) {
        const TGIFFrameInfo& frame = image.Frame(i);
        FUZZ_CHECK(frame.Offset >= image.HeaderLength() && frame.Length > 0);
        FUZZ_CHECK(frame.Offset + frame.Length <= fileSize);
        FUZZ_CHECK(image.Data().at(frame.Offset) == 0x2C);
        FUZZ_CHECK(frame.Disposal >= 0 && frame.Disposal <= 7);
        FUZZ_CHECK(image.FrameDelayMs(i) > 0);
    }
}

void CheckComposing(const std::shared_ptr<const TGIFImage>& image) {
    TGIFComposer composer(image);
    const int count = image->FrameCount();
    for (int i = 0; i < count; ++i) {
        FUZZ_CHECK(composer.Advance() == i);
        FUZZ_CHECK(composer.Canvas().size() == image->Size());
    }
    const QImage last = composer.Canvas();
    // After the last frame the picture starts again on a cleared canvas.
    FUZZ_CHECK(composer.Advance() == 0);
    composer.ShowFrame(count - 1);
    FUZZ_CHECK(composer.CurrentIndex() == count - 1);
    FUZZ_CHECK(composer.Canvas() == last);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto image = std::make_shared<TGIFImage>();
    int lastPercent = 0;
    image->OnProgress = [&lastPercent](const QString&, int percent) {
        FUZZ_CHECK(percent >= 0 && percent <= 100);
        lastPercent = percent;
    };
    // The reader keeps the bytes it is given: a copy, as the input is gone after this call.
    if (!image->LoadFromData(
            QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)))) {
        FUZZ_CHECK(!image->ErrorText().isEmpty());
        return 0;
    }
    CheckFrames(*image);
    CheckComposing(image);
    return 0;
}
