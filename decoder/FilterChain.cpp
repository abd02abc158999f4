#include "decoder/FilterChain.h"

#include "decoder/FilterLibrary.h"

TFilterChain::TFilterChain(const TFilterLibrary* library) : Library(library) {}

TFilterChain::~TFilterChain() {
    Reset();
}

void TFilterChain::Reset() {
    if (Graph != nullptr)
        Library->GraphFree(&Graph);
    Graph = nullptr;
    Source = Sink = nullptr;
}

bool TFilterChain::Build(const QByteArray& sourceArgs, const QByteArray& chain, int threads) {
    Reset();
    if (Library == nullptr)
        Library = &TFilterLibrary::Shared();
    if (!Library->Loaded())
        return false;
    Graph = Library->GraphAlloc();
    if (Graph == nullptr)
        return false;
    if (threads > 0)
        Graph->nb_threads = threads;
    if (!Connect(sourceArgs, chain)) {
        Reset();
        return false;
    }
    return true;
}

bool TFilterChain::Connect(const QByteArray& sourceArgs, const QByteArray& chain) {
    const TFilterLibrary& av = *Library;
    if (av.GraphCreateFilter(&Source, av.GetByName("buffer"), "in", sourceArgs.constData(), nullptr,
                             Graph) < 0 ||
        av.GraphCreateFilter(&Sink, av.GetByName("buffersink"), "out", nullptr, nullptr, Graph) < 0)
        return false;
    AVFilterInOut* outputs = av.InOutAlloc();
    AVFilterInOut* inputs = av.InOutAlloc();
    bool built = outputs != nullptr && inputs != nullptr;
    if (built) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = Source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = Sink;
        built = av.GraphParse(Graph, chain.constData(), &inputs, &outputs, nullptr) >= 0 &&
                av.GraphConfig(Graph, nullptr) >= 0;
    }
    av.InOutFree(&inputs);
    av.InOutFree(&outputs);
    return built;
}

bool TFilterChain::Put(AVFrame* frame, int flags) {
    return Graph != nullptr && Library->SourceAddFrame(Source, frame, flags) >= 0;
}

bool TFilterChain::Take(AVFrame* target) {
    if (Graph == nullptr)
        return false;
    av_frame_unref(target);
    return Library->SinkGetFrame(Sink, target) >= 0;
}

AVRational TFilterChain::OutputTimeBase() const {
    return Graph != nullptr ? Library->SinkTimeBase(Sink) : AVRational{0, 1};
}
