#include "decoder/Deinterlacer.h"

#include "decoder/FilterChain.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include <QByteArray>

void TDeinterlacer::TGraphFreer::operator()(AVFilterGraph* graph) const {
    avfilter_graph_free(&graph);
}

TDeinterlacer::TDeinterlacer() = default;
TDeinterlacer::~TDeinterlacer() = default;

void TDeinterlacer::Reset() {
    Graph.reset();
    Source = Sink = nullptr;
    Width = Height = 0;
    Format = -1;
    Finished = false;
}

// buffer -> bwdif (one picture per frame, only pictures marked interlaced) -> buffersink. Time
// stamps pass through as they come, in microseconds.
bool TDeinterlacer::Build(const AVFrame* frame) {
    Reset();
    Graph.reset(avfilter_graph_alloc());
    if (!Graph)
        return false;
    Graph->nb_threads = 1;
    const AVRational aspect =
        frame->sample_aspect_ratio.num > 0 ? frame->sample_aspect_ratio : AVRational{1, 1};
    const QByteArray sourceArgs =
        QByteArray("video_size=") + QByteArray::number(frame->width) + 'x' +
        QByteArray::number(frame->height) + ":pix_fmt=" + QByteArray::number(frame->format) +
        ":time_base=1/1000000:pixel_aspect=" + QByteArray::number(aspect.num) + '/' +
        QByteArray::number(aspect.den);
    if (!BuildFilterChain(Graph.get(), sourceArgs,
                          "bwdif=mode=send_frame:parity=auto:deint=interlaced", Source, Sink)) {
        Reset();
        return false;
    }
    Width = frame->width;
    Height = frame->height;
    Format = frame->format;
    return true;
}

bool TDeinterlacer::Put(const AVFrame* frame) {
    if (!Graph || Finished || frame->width != Width || frame->height != Height ||
        frame->format != Format) {
        if (!Build(frame))
            return false;
    }
    return av_buffersrc_add_frame_flags(Source, const_cast<AVFrame*>(frame),
                                        AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
}

void TDeinterlacer::Finish() {
    // Refused only when the filter already ended: nothing more comes out then either way.
    if (Graph && !Finished && av_buffersrc_add_frame_flags(Source, nullptr, 0) < 0)
        Reset();
    Finished = true;
}

bool TDeinterlacer::Take(AVFrame* target, int64_t& pts) {
    if (!Graph)
        return false;
    av_frame_unref(target);
    if (av_buffersink_get_frame(Sink, target) < 0)
        return false;
    // The filter counts in half the time base it was given (it could give out one picture per
    // field): back to microseconds.
    pts = av_rescale_q(target->pts, av_buffersink_get_time_base(Sink), AVRational{1, 1000000});
    return true;
}
