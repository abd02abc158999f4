#pragma once
// A libavfilter chain between a buffer source and a buffer sink, as the decoder's deinterlacing
// and the test-video generator use it. Every call into the filter library goes through a
// TFilterLibrary, so that nothing is loaded until a chain is built.

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/rational.h>
}

#include <QByteArray>

struct AVFilterGraph;
struct AVFilterContext;
class TFilterLibrary;

class TFilterChain {
public:
    // Builds on `library`; by default on the shared one, loaded by the first Build.
    explicit TFilterChain(const TFilterLibrary* library = nullptr);
    ~TFilterChain();
    TFilterChain(const TFilterChain&) = delete;
    TFilterChain& operator=(const TFilterChain&) = delete;

    // Makes "buffer" (with `sourceArgs`) -> `chain` (a filter description such as
    // "bwdif=mode=...") -> "buffersink", run on at most `threads` threads (0: the library's
    // choice), in place of any chain before. False when the library is missing or any part
    // fails; the chain is then empty.
    [[nodiscard]] bool Build(const QByteArray& sourceArgs, const QByteArray& chain,
                             int threads = 0);
    // Whether a chain is built.
    bool Built() const { return Graph != nullptr; }
    // Frees the chain and every picture held in it.
    void Reset();

    // Hands `frame` in with av_buffersrc_add_frame_flags' `flags`; nullptr tells that no picture
    // follows. False when refused or when no chain is built.
    [[nodiscard]] bool Put(AVFrame* frame, int flags);
    // The next picture out into `target` (unreferenced first); false when none is ready.
    [[nodiscard]] bool Take(AVFrame* target);
    // The time base of the pictures that come out.
    AVRational OutputTimeBase() const;

private:
    bool Connect(const QByteArray& sourceArgs, const QByteArray& chain);

    const TFilterLibrary* Library;
    AVFilterGraph* Graph = nullptr;
    AVFilterContext* Source = nullptr;
    AVFilterContext* Sink = nullptr;
};
