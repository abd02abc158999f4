#pragma once
// libimagequant objects owned by std::unique_ptr, as the FFmpeg ones are (decoder/FFmpegPtr.h).

#include <libimagequant.h>
#include <memory>

namespace imagequant {

struct TAttrFreer {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
};
struct THistogramFreer {
    void operator()(liq_histogram* histogram) const { liq_histogram_destroy(histogram); }
};
struct TResultFreer {
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};

using TAttrPtr = std::unique_ptr<liq_attr, TAttrFreer>;
using THistogramPtr = std::unique_ptr<liq_histogram, THistogramFreer>;
using TResultPtr = std::unique_ptr<liq_result, TResultFreer>;

} // namespace imagequant
