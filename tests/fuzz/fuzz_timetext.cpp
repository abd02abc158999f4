// The clip time text on any text: what StrToPTS reads, FormatPTS writes in a form StrToPTS reads
// again to the same time, for every number of decimals (and the out-of-range ones).

#include "decoder/CustomDecoder.h"
#include "tests/fuzz/FuzzCheck.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (int digits = -1; digits <= 7; ++digits) {
        const int64_t pts = StrToPTS(text, digits);
        if (pts == AV_NOPTS_VALUE)
            continue;
        const QString written = FormatPTS(pts, digits);
        FUZZ_CHECK(!written.isEmpty());
        const int64_t reread = StrToPTS(written, digits);
        if (reread != pts) {
            std::fprintf(stderr,
                         "digits %d: \"%s\" reads as %lld, written \"%s\", read again %lld\n",
                         digits, qPrintable(text), static_cast<long long>(pts), qPrintable(written),
                         static_cast<long long>(reread));
            std::abort();
        }
    }
    return 0;
}
