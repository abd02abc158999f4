#pragma once
// Deinterlacing of the pictures a decoder marks interlaced, through FFmpeg's bwdif filter: one
// picture out for each picture in (one per field pair), progressive pictures passed through
// untouched. Pictures go in stamped in microseconds. The filter looks one picture ahead, so a
// picture comes out after the next one went in; at the end of the stream `Finish` lets the last one
// out.

#include "decoder/FFmpegPtr.h"
#include "decoder/FilterChain.h"

class TDeinterlacer {
public:
    // Filters through `library`; by default through the shared one, loaded when the first
    // interlaced picture comes.
    explicit TDeinterlacer(const TFilterLibrary* library = nullptr);
    ~TDeinterlacer();
    TDeinterlacer(const TDeinterlacer&) = delete;
    TDeinterlacer& operator=(const TDeinterlacer&) = delete;

    // Hands a decoded picture in (a reference is taken; `frame` is left as it was). Pictures of
    // another size or format than those before start a new filter. False when the filter
    // cannot be made or refuses the picture.
    bool Put(const AVFrame* frame);
    // No picture follows: the one held back comes out.
    void Finish();
    // The next deinterlaced picture into `target`, with the time stamp it went in with
    // (microseconds) in `pts`; false when none is ready yet.
    bool Take(AVFrame* target, int64_t& pts);
    // Whether a filter is working (pictures may be held back in it).
    bool Active() const { return Chain.Built(); }
    // Forgets every picture held (after a seek).
    void Reset();

private:
    bool Build(const AVFrame* frame);

    TFilterChain Chain;
    int Width = 0, Height = 0, Format = -1;
    bool Finished = false;
};
