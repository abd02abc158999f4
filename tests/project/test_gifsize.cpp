// Size limits as typed: units of 1000 and of 1024, decimals, spaces and case, what is refused,
// and the text a stored limit is shown as.

#include "engine/ConversionPlan.h"
#include "project/GifSizeText.h"

#include <gtest/gtest.h>

TEST(GifSizeText, ReadsTheWaysUploadLimitsAreWritten) {
    const std::pair<const char*, int64_t> table[] = {
        {"8M", 8000000},     {"8MB", 8000000},
        {"8mb", 8000000},    {"8 M", 8000000},
        {" 8 mB ", 8000000}, {"2.5M", 2500000},
        {"500K", 500000},    {"500kB", 500000},
        {"500KB", 500000},   {"8MiB", 8388608},
        {"8mib", 8388608},   {"500KiB", 512000},
        {"1.5MiB", 1572864}, {"8000000", 8000000},
        {"64", 64},          {"64b", 64},
        {"1G", 1000000000},  {"1GiB", 1073741824},
        {".5M", 500000},     {"0.3K", 300},
        {"1.0005K", 1000},   {"0", 0},
        {"10.", 10},         {"25 MB", 25000000},
    };
    for (const auto& [text, bytes] : table)
        EXPECT_EQ(ParseGifSize(QLatin1String(text)), std::optional<int64_t>(bytes)) << text;
}

TEST(GifSizeText, RefusesWhatIsNoSize) {
    for (const char* text :
         {"", " ", "M", "-8M", "-1", "8X", "8 M B", "eight", "8M8", "1e6", "8,5M", "0x100", "8MM",
          "nan", "inf", "99999999999999999999", "2000000G"})
        EXPECT_FALSE(ParseGifSize(QLatin1String(text)).has_value()) << text;
}

TEST(GifSizeText, ShownAsTypedAndReadBackTheSame) {
    const std::pair<int64_t, const char*> table[] = {
        {0, ""},           {8000000, "8M"},    {2500000, "2.5M"},  {500000, "500K"},
        {8388608, "8MiB"}, {512000, "512K"},   {716800, "700KiB"}, {1234567, "1234567"},
        {64, "64"},        {1000000000, "1G"}, {1536, "1536"},     {25000000, "25M"},
        {1100, "1100"},    {1024, "1KiB"},
    };
    for (const auto& [bytes, text] : table) {
        EXPECT_EQ(FormatGifSize(bytes), QLatin1String(text)) << bytes;
        if (bytes > 0) {
            EXPECT_EQ(ParseGifSize(FormatGifSize(bytes)), std::optional<int64_t>(bytes)) << bytes;
        }
    }
}

TEST(GifSizeText, ALimitMustLeaveRoomForTheSmallestGif) {
    EXPECT_TRUE(CheckGifSizeLimit(0).isEmpty()); // no limit
    EXPECT_TRUE(CheckGifSizeLimit(MinGifBytes).isEmpty());
    EXPECT_TRUE(CheckGifSizeLimit(8000000).isEmpty());
    const QString small = CheckGifSizeLimit(MinGifBytes - 1);
    EXPECT_TRUE(small.contains(QString::number(MinGifBytes))) << qPrintable(small);
    EXPECT_FALSE(CheckGifSizeLimit(-1).isEmpty());
}
