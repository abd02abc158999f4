#pragma once
// FFmpeg's filter library, opened at run time. Only interlaced sources need filters, and the
// library brings dozens of libraries of its own (speech, linear algebra, Vulkan,
// ...) whose loading would otherwise slow every start of the program. It is opened the first time
// a filter chain is built, and the functions the decoder's filters call are looked up by name.

#include <cstdint>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include <QByteArray>
#include <QString>
#include <memory>

// The functions the decoder's filters call; all null until found.
struct TFilterFunctions {
    decltype(&avfilter_graph_alloc) GraphAlloc = nullptr;
    decltype(&avfilter_graph_free) GraphFree = nullptr;
    decltype(&avfilter_get_by_name) GetByName = nullptr;
    decltype(&avfilter_graph_create_filter) GraphCreateFilter = nullptr;
    decltype(&avfilter_graph_parse_ptr) GraphParse = nullptr;
    decltype(&avfilter_graph_config) GraphConfig = nullptr;
    decltype(&avfilter_inout_alloc) InOutAlloc = nullptr;
    decltype(&avfilter_inout_free) InOutFree = nullptr;
    decltype(&av_buffersrc_add_frame_flags) SourceAddFrame = nullptr;
    decltype(&av_buffersink_get_frame) SinkGetFrame = nullptr;
    decltype(&av_buffersink_get_time_base) SinkTimeBase = nullptr;
};

class TFilterLibrary : public TFilterFunctions {
public:
    // Opens `fileName` (a name the dynamic loader searches for, or a path) and looks up every
    // function. When the file or any function is missing, the library counts as not loaded and
    // every function pointer stays null.
    explicit TFilterLibrary(const QByteArray& fileName);
    ~TFilterLibrary();
    TFilterLibrary(const TFilterLibrary&) = delete;
    TFilterLibrary& operator=(const TFilterLibrary&) = delete;

    // The library of the version this program was built against, e.g. "libavfilter.so.8".
    static QByteArray DefaultFileName();
    // The one library the decoder's filters use, opened by the first call (once per process,
    // from any thread). A library that cannot be loaded is logged once; it stays unloaded.
    static const TFilterLibrary& Shared();
    // Opens `fileName` as Shared does: a library that cannot be loaded is logged, with the reason.
    static std::unique_ptr<TFilterLibrary> OpenLogged(const QByteArray& fileName);

    bool Loaded() const { return Handle != nullptr; }
    // Why the library is not loaded; empty when it is.
    const QString& Error() const { return Why; }

private:
    bool FindFunctions();
    void Unload(const QString& why);

    void* Handle = nullptr;
    QString Why;
};
