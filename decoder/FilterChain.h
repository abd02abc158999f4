#pragma once
// A libavfilter chain between a buffer source and a buffer sink, as the decoder's picture filters
// (deinterlacing, tone mapping) and the test-video generator use it.

#include <cstdint>

extern "C" {
#include <libavfilter/avfilter.h>
}

#include <QByteArray>

// Adds "buffer" (with `sourceArgs`) -> `chain` (a filter description such as "bwdif=mode=...")
// -> "buffersink" to `graph` and configures it. False when any part fails; the graph is then
// not usable.
[[nodiscard]] bool BuildFilterChain(AVFilterGraph* graph, const QByteArray& sourceArgs,
                                    const QByteArray& chain, AVFilterContext*& source,
                                    AVFilterContext*& sink);
