// The command-line converter's options on any arguments (one a line of the input): a command
// line it refuses says why; of one it accepts, every value lies in the range the engine is told
// to expect.

#include "app/cli/CliOptions.h"
#include "project/GifSizeText.h"
#include "tests/fuzz/FuzzCheck.h"

#include <QStringList>
#include <limits>

namespace {

void CheckRect(const QRect& rect) {
    FUZZ_CHECK(rect.x() >= 0 && rect.y() >= 0 && rect.width() >= 1 && rect.height() >= 1);
    // The far edges are whole numbers, not wrapped around.
    FUZZ_CHECK(qint64(rect.x()) + rect.width() <= std::numeric_limits<int>::max());
    FUZZ_CHECK(qint64(rect.y()) + rect.height() <= std::numeric_limits<int>::max());
    FUZZ_CHECK(rect.right() >= rect.left() && rect.bottom() >= rect.top());
}

void CheckOptions(const TCliOptions& o) {
    FUZZ_CHECK(!o.VideoFile.isNull());
    FUZZ_CHECK(o.ToStdout == o.GifFile.isEmpty());
    FUZZ_CHECK(o.StartPTS >= 0 && (!o.EndPTS || *o.EndPTS > o.StartPTS));
    if (o.SizeStyle == ssCustom)
        FUZZ_CHECK(o.FinalSize.width() >= 1 && o.FinalSize.height() >= 1 &&
                   o.FinalSize.width() <= 16384 && o.FinalSize.height() <= 16384);
    FUZZ_CHECK(o.Fps >= 1 && o.Fps <= 100);
    FUZZ_CHECK(o.Speed >= 0.01 && o.Speed <= 100);
    FUZZ_CHECK(o.Replays >= -1 && o.Replays <= 65535);
    if (o.Crop)
        CheckRect(*o.Crop);
    FUZZ_CHECK(o.QuarterTurns >= 0 && o.QuarterTurns <= 3);
    FUZZ_CHECK(o.MaxFrames >= 1 && o.MaxFrames <= 100000);
    FUZZ_CHECK(o.Quality >= 1 && o.Quality <= 100);
    FUZZ_CHECK(o.MaxSize == 0 || (o.MaxSize > 0 && CheckGifSizeLimit(o.MaxSize).isEmpty()));
    FUZZ_CHECK(!o.FontName.isEmpty() && o.FontSize >= 1 && o.FontSize <= 1000);
    FUZZ_CHECK(o.Color.isValid());
    FUZZ_CHECK(o.LogoFile.isEmpty() == !o.LogoRect.has_value());
    if (o.LogoRect)
        CheckRect(*o.LogoRect);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QStringList arguments{QStringLiteral("gifclipmaker-cli")};
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!text.isEmpty())
        arguments += text.split(QLatin1Char('\n'));
    const TCliParse parse = ParseCliArguments(arguments);
    switch (parse.Action) {
    case TCliAction::Usage:
        FUZZ_CHECK(!parse.Error.isEmpty());
        break;
    case TCliAction::Convert:
        FUZZ_CHECK(parse.Error.isEmpty());
        CheckOptions(parse.Options);
        break;
    case TCliAction::Help:
    case TCliAction::Version:
        break;
    }
    return 0;
}
