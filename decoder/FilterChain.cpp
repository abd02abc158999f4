#include "decoder/FilterChain.h"

bool BuildFilterChain(AVFilterGraph* graph, const QByteArray& sourceArgs, const QByteArray& chain,
                      AVFilterContext*& source, AVFilterContext*& sink) {
    if (avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in",
                                     sourceArgs.constData(), nullptr, graph) < 0 ||
        avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph) < 0)
        return false;
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    bool built = outputs != nullptr && inputs != nullptr;
    if (built) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        built =
            avfilter_graph_parse_ptr(graph, chain.constData(), &inputs, &outputs, nullptr) >= 0 &&
            avfilter_graph_config(graph, nullptr) >= 0;
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    return built;
}
