// The time text routines: what the time edits show and what they read back.

#include "decoder/CustomDecoder.h"

#include <gtest/gtest.h>

TEST(TimeText, FormatsHoursMinutesSecondsAndCutsTheFraction) {
    EXPECT_EQ(FormatPTS(0, 3), "00:00:00.000");
    EXPECT_EQ(FormatPTS(33366, 3), "00:00:00.033");
    EXPECT_EQ(FormatPTS(999999, 3), "00:00:00.999");
    EXPECT_EQ(FormatPTS(PtsTicksPerSecond, 3), "00:00:01.000");
    EXPECT_EQ(FormatPTS((3600 + 23 * 60 + 45) * PtsTicksPerSecond + 678000, 3), "01:23:45.678");
    EXPECT_EQ(FormatPTS(int64_t(100) * 3600 * PtsTicksPerSecond, 3), "100:00:00.000");
    EXPECT_EQ(FormatPTS(1500000, 0), "00:00:01");
    EXPECT_EQ(FormatPTS(1234567, 6), "00:00:01.234567");
    EXPECT_EQ(FormatPTS(-1500000, 3), "-00:00:01.500");
    EXPECT_EQ(FormatPTS(AV_NOPTS_VALUE, 3), "");
}

TEST(TimeText, ReadsWhatItWrites) {
    for (int64_t pts : {int64_t(0), int64_t(1000), int64_t(59999000), int64_t(3723004000),
                        int64_t(-2500000), int64_t(360000000000)}) {
        EXPECT_EQ(StrToPTS(FormatPTS(pts, 3), 3), pts) << FormatPTS(pts, 3).toStdString();
    }
    // Below a millisecond the text keeps the millisecond the time has begun.
    EXPECT_EQ(StrToPTS(FormatPTS(1000999, 3), 3), 1000000);
}

TEST(TimeText, PartlyFilledMaskReadsBlanksAsZeroDigits) {
    EXPECT_EQ(StrToPTS("01:__:__.___", 3), 3600 * PtsTicksPerSecond);
    EXPECT_EQ(StrToPTS("00:1_:00.000", 3), 600 * PtsTicksPerSecond);
    EXPECT_EQ(StrToPTS("00:00:02.5__", 3), 2500000);
    EXPECT_EQ(StrToPTS("  :  :05.   ", 3), 5 * PtsTicksPerSecond);
    EXPECT_EQ(StrToPTS(" 1:02:03.004", 3), (3600 + 2 * 60 + 3) * PtsTicksPerSecond + 4000);
}

TEST(TimeText, ShortAndLongFieldsAndTheFractionDigits) {
    EXPECT_EQ(StrToPTS("05.250", 3), 5250000);
    EXPECT_EQ(StrToPTS("01:05", 3), 65 * PtsTicksPerSecond);
    EXPECT_EQ(StrToPTS("90", 3), 90 * PtsTicksPerSecond);
    EXPECT_EQ(StrToPTS("90:00", 3), 90 * 60 * PtsTicksPerSecond);
    EXPECT_EQ(StrToPTS("00:59:59.999", 3), 3599 * PtsTicksPerSecond + 999000);
    EXPECT_EQ(StrToPTS("00:00:01.2345", 3), 1234000);
    EXPECT_EQ(StrToPTS("00:00:01.2345", 6), 1234500);
    EXPECT_EQ(StrToPTS("00:00:01.9", 0), PtsTicksPerSecond);
}

TEST(TimeText, TextThatIsNoTime) {
    EXPECT_EQ(StrToPTS("", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("   ", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("abc", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("00:0a:00.000", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("00:00:00.00x", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("1:2:3:4", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("1234567890:00:00.000", 3), AV_NOPTS_VALUE);
}

TEST(TimeText, DigitsOfOtherScriptsAreNoTime) {
    // Fullwidth one, Arabic-Indic and Devanagari digits, alone and inside an otherwise good time.
    EXPECT_EQ(StrToPTS(QStringLiteral("\uFF11"), 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS(QString(9, QChar(0x0669)), 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS(QStringLiteral("00:00:0\u0967.000"), 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS(QStringLiteral("00:00:01.\uFF15"), 3), AV_NOPTS_VALUE);
}

TEST(TimeText, SeparatorsOrBlanksWithoutADigitAreNoTime) {
    for (const char* text : {".", ":", "::", "-", "-.", "__:__:__.___", "  :  :  .   "})
        EXPECT_EQ(StrToPTS(QString::fromLatin1(text), 3), AV_NOPTS_VALUE) << text;
}

TEST(TimeText, MinutesAndSecondsAfterALargerFieldAreBelowSixty) {
    for (const char* text : {"1:99:99", "00:90:00.000", "1:60", "0:00:60", "999999999:60:0"})
        EXPECT_EQ(StrToPTS(QString::fromLatin1(text), 3), AV_NOPTS_VALUE) << text;
}

TEST(TimeText, TheLargestTimesReadAreWrittenAndReadAgain) {
    for (const char* text :
         {"999999999:59:59.999", "999999999:59", "999999999", "-999999999:0:0"}) {
        const int64_t pts = StrToPTS(QString::fromLatin1(text), 3);
        ASSERT_NE(pts, AV_NOPTS_VALUE) << text;
        EXPECT_EQ(StrToPTS(FormatPTS(pts, 3), 3), pts) << text;
    }
    EXPECT_EQ(FormatPTS(StrToPTS("999999999:59:59.999", 3), 3), "999999999:59:59.999");
}
