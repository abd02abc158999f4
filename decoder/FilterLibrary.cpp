#include "decoder/FilterLibrary.h"

#include "common/Log.h"

#include <dlfcn.h>

namespace {

// Looks `name` up in `handle` into `function`; false when the library has no such symbol.
template <typename TFunction> bool Find(void* handle, const char* name, TFunction& function) {
    function = reinterpret_cast<TFunction>(dlsym(handle, name));
    return function != nullptr;
}

QString LoaderError() {
    const char* text = dlerror();
    return text != nullptr ? QString::fromLocal8Bit(text) : QString();
}

} // namespace

TFilterLibrary::TFilterLibrary(const QByteArray& fileName) {
    // Symbols stay local: the program resolves none of its own calls through this library.
    Handle = dlopen(fileName.constData(), RTLD_NOW | RTLD_LOCAL);
    if (Handle == nullptr) {
        Unload(QStringLiteral("cannot open %1: %2")
                   .arg(QString::fromLocal8Bit(fileName), LoaderError()));
        return;
    }
    (void)FindFunctions();
}

TFilterLibrary::~TFilterLibrary() {
    if (Handle != nullptr)
        dlclose(Handle);
}

bool TFilterLibrary::FindFunctions() {
    const bool found = Find(Handle, "avfilter_graph_alloc", GraphAlloc) &&
                       Find(Handle, "avfilter_graph_free", GraphFree) &&
                       Find(Handle, "avfilter_get_by_name", GetByName) &&
                       Find(Handle, "avfilter_graph_create_filter", GraphCreateFilter) &&
                       Find(Handle, "avfilter_graph_parse_ptr", GraphParse) &&
                       Find(Handle, "avfilter_graph_config", GraphConfig) &&
                       Find(Handle, "avfilter_inout_alloc", InOutAlloc) &&
                       Find(Handle, "avfilter_inout_free", InOutFree) &&
                       Find(Handle, "av_buffersrc_add_frame_flags", SourceAddFrame) &&
                       Find(Handle, "av_buffersink_get_frame", SinkGetFrame) &&
                       Find(Handle, "av_buffersink_get_time_base", SinkTimeBase);
    if (!found)
        Unload(QStringLiteral("incomplete filter library: %1").arg(LoaderError()));
    return found;
}

// Forgets a library that cannot be used: no function pointer of it survives.
void TFilterLibrary::Unload(const QString& why) {
    Why = why;
    static_cast<TFilterFunctions&>(*this) = TFilterFunctions();
    if (Handle != nullptr)
        dlclose(Handle);
    Handle = nullptr;
}

QByteArray TFilterLibrary::DefaultFileName() {
    return "libavfilter.so." + QByteArray::number(LIBAVFILTER_VERSION_MAJOR);
}

std::unique_ptr<TFilterLibrary> TFilterLibrary::OpenLogged(const QByteArray& fileName) {
    auto library = std::make_unique<TFilterLibrary>(fileName);
    if (!library->Loaded())
        MsgOut(QStringLiteral("decoder: no deinterlacing, interlaced pictures are shown as "
                              "decoded (%1)")
                   .arg(library->Error()));
    return library;
}

const TFilterLibrary& TFilterLibrary::Shared() {
    // Never freed: filters of decoders still running at exit keep calling into it.
    static const TFilterLibrary* const library = OpenLogged(DefaultFileName()).release();
    return *library;
}
