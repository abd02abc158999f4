#include "decoder/Deinterlacer.h"

extern "C" {
#include <libavfilter/buffersrc.h>
#include <libavutil/mathematics.h>
}

#include <QByteArray>

TDeinterlacer::TDeinterlacer(const TFilterLibrary* library) : Chain(library) {}
TDeinterlacer::~TDeinterlacer() = default;

void TDeinterlacer::Reset() {
    Chain.Reset();
    Width = Height = 0;
    Format = -1;
    Finished = false;
}

// buffer -> bwdif (one picture per frame, only pictures marked interlaced) -> buffersink. Time
// stamps pass through as they come, in microseconds.
bool TDeinterlacer::Build(const AVFrame* frame) {
    Reset();
    const AVRational aspect =
        frame->sample_aspect_ratio.num > 0 ? frame->sample_aspect_ratio : AVRational{1, 1};
    const QByteArray sourceArgs =
        QByteArray("video_size=") + QByteArray::number(frame->width) + 'x' +
        QByteArray::number(frame->height) + ":pix_fmt=" + QByteArray::number(frame->format) +
        ":time_base=1/1000000:pixel_aspect=" + QByteArray::number(aspect.num) + '/' +
        QByteArray::number(aspect.den);
    if (!Chain.Build(sourceArgs, "bwdif=mode=send_frame:parity=auto:deint=interlaced", 1)) {
        Reset();
        return false;
    }
    Width = frame->width;
    Height = frame->height;
    Format = frame->format;
    return true;
}

bool TDeinterlacer::Put(const AVFrame* frame) {
    if (!Chain.Built() || Finished || frame->width != Width || frame->height != Height ||
        frame->format != Format) {
        if (!Build(frame))
            return false;
    }
    return Chain.Put(const_cast<AVFrame*>(frame), AV_BUFFERSRC_FLAG_KEEP_REF);
}

void TDeinterlacer::Finish() {
    // Refused only when the filter already ended: nothing more comes out then either way.
    if (Chain.Built() && !Finished && !Chain.Put(nullptr, 0))
        Reset();
    Finished = true;
}

bool TDeinterlacer::Take(AVFrame* target, int64_t& pts) {
    if (!Chain.Take(target))
        return false;
    // The filter counts in half the time base it was given (it could give out one picture per
    // field): back to microseconds.
    pts = av_rescale_q(target->pts, Chain.OutputTimeBase(), AVRational{1, 1000000});
    return true;
}
