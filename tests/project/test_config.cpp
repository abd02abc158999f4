// The output configuration: defaults, the file a fresh object writes, and round trips.

#include "app/VGApp.h"
#include "engine/Video2Gif.h"
#include "project/VGProj.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <gtest/gtest.h>

namespace {

QString Utf16FileText(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith(QByteArray("\xFF\xFE", 2)))
        return {};
    QStringDecoder decoder(QStringDecoder::Utf16LE);
    return decoder.decode(bytes.mid(2));
}

} // namespace

TEST(VGConfig, AFreshSaveWritesEverySettingWithItsDefaultInTableOrder) {
    TScopedUserFolders folders;
    QDir().mkpath(TApp::GetDataPath());
    TVGConfig config;
    // The per-user data folder.
    EXPECT_EQ(config.ConfigFile, TApp::GetDataPath() + QStringLiteral("ConfigSet.vgset"));
    EXPECT_TRUE(config.ConfigFile.startsWith(folders.DataHome()));
    ASSERT_TRUE(config.Save(true));
    const QStringList expected = {
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"),
        QStringLiteral("<Config project=\"VG\" version=\"3.4.0.0\">"),
        QStringLiteral("  <InstallTracked>False</InstallTracked>"),
        QStringLiteral("  <ShowCropRc>True</ShowCropRc>"),
        QStringLiteral("  <CropRcColor>255</CropRcColor>"),
        QStringLiteral("  <SizeStyle>ssHalf</SizeStyle>"),
        QStringLiteral("  <GifMaxFrame>1000</GifMaxFrame>"),
        QStringLiteral("  <GifFPS>8</GifFPS>"),
        QStringLiteral("  <GifSpeed>1</GifSpeed>"),
        QStringLiteral("  <GifLoop>-1</GifLoop>"),
        QStringLiteral("  <DecodeNum>30</DecodeNum>"),
        QStringLiteral("  <PartnerStatus>0</PartnerStatus>"),
        QStringLiteral("  <InstallGUID/>"),
        QStringLiteral("  <FontName>Arial</FontName>"),
        QStringLiteral("  <FontSize>14</FontSize>"),
        QStringLiteral("  <FontColor>16777215</FontColor>"),
        QStringLiteral("  <FontStyles/>"),
        QStringLiteral("  <GifQuality>90</GifQuality>"),
        QStringLiteral("  <GifMaxSize>0</GifMaxSize>"),
        QStringLiteral("</Config>"),
    };
    EXPECT_EQ(Utf16FileText(config.ConfigFile).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              expected);
}

TEST(VGConfig, EverySettingRoundTripsAndStyleBitsSurvive) {
    TScopedUserFolders folders;
    QDir().mkpath(TApp::GetDataPath());
    TVGConfig config;
    config.InstallTracked = true;
    config.ShowCropRc = false;
    config.CropRcColor = 0x00FF00;
    config.SizeStyle = ssCustom;
    config.GifMaxFrame = 250;
    config.GifFPS = 25;
    config.GifSpeed = 0.2;
    config.GifLoop = 3;
    config.DecodeNum = 12;
    config.PartnerStatus = 2;
    config.InstallGUID = QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    config.FontName = QStringLiteral("Noto Sans 日本");
    config.FontSize = 40;
    config.FontColor = 0;
    config.FontStyles = TFontStyles{fsUnderline, fsStrikeOut, fsBold};
    config.GifQuality = 35;
    config.GifMaxSize = 25'000'000'000; // beyond 32 bits
    ASSERT_TRUE(config.Save(true));
    const QString written = Utf16FileText(config.ConfigFile);
    EXPECT_TRUE(written.contains(
        QStringLiteral("<FontStyles>fsBold,fsUnderline,fsStrikeOut</FontStyles>")));

    // Read back into a fresh object and written again: the very same file.
    TVGConfig loaded;
    loaded.Load();
    ASSERT_TRUE(loaded.Loaded);
    EXPECT_EQ(loaded.FontStyles.Bits(), 0b1101u);
    EXPECT_EQ(loaded.SizeStyle, ssCustom);
    EXPECT_DOUBLE_EQ(loaded.GifSpeed, 0.2);
    EXPECT_TRUE(loaded.IsPartner());
    EXPECT_EQ(loaded.GifQuality, 35);
    EXPECT_EQ(loaded.GifMaxSize, 25'000'000'000);
    ASSERT_TRUE(loaded.Save(true));
    EXPECT_EQ(Utf16FileText(loaded.ConfigFile), written);
    for (const char* fresh : {"<GifFPS>8<", "<FontName>Arial<", "<InstallTracked>False<"})
        EXPECT_FALSE(written.contains(QLatin1String(fresh))) << fresh;
}

TEST(VGConfig, FilesFromOtherLocalesAndHandsReadAsMeant) {
    TScopedUserFolders folders;
    QDir().mkpath(TApp::GetDataPath());
    TVGConfig config;
    ASSERT_TRUE(WriteFile(config.ConfigFile,
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Settings>"
                          "<gifspeed>1,5</gifspeed><giffps>12</giffps>"
                          "<SizeStyle>ssquarter</SizeStyle><sizestyle>ssSmall</sizestyle>"
                          "<FontStyles>[fsBold, fsItalic]</FontStyles><GifLoop></GifLoop>"
                          "<ShowCropRc>no</ShowCropRc></Settings>"));
    config.Load();
    ASSERT_TRUE(config.Loaded);
    EXPECT_DOUBLE_EQ(config.GifSpeed, 1.5);
    EXPECT_EQ(config.GifFPS, 12);
    EXPECT_EQ(config.SizeStyle, ssQuarter); // the unknown later identifier leaves it
    EXPECT_EQ(config.FontStyles, (TFontStyles{fsBold, fsItalic}));
    EXPECT_EQ(config.GifLoop, 0); // empty integer: 0, not the default -1
    EXPECT_TRUE(config.ShowCropRc);
    EXPECT_EQ(config.DecodeNum, 30);
}

// Files written before the quality and the size limit existed read them as their defaults, and a
// new project takes both from the settings into its conversion request.
TEST(VGConfig, OldFilesWithoutQualityAndSizeLimitReadTheDefaults) {
    TScopedUserFolders folders;
    QDir().mkpath(TApp::GetDataPath());
    TVGConfig config;
    config.GifQuality = 12; // what the load must replace
    config.GifMaxSize = 999;
    ASSERT_TRUE(WriteFile(config.ConfigFile,
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config project=\"VG\">"
                          "<GifFPS>12</GifFPS><GifMaxFrame>500</GifMaxFrame></Config>"));
    TVGConfig old;
    old.Load();
    ASSERT_TRUE(old.Loaded);
    EXPECT_EQ(old.GifFPS, 12);
    EXPECT_EQ(old.GifQuality, DefaultGifQuality);
    EXPECT_EQ(old.GifMaxSize, 0);
}

TEST(VGProject, QualityAndSizeLimitGoFromTheSettingsIntoTheRequest) {
    TVGProj fresh([] { return TProjectDefaults(); });
    EXPECT_EQ(fresh.GifQuality, DefaultGifQuality);
    EXPECT_EQ(fresh.GifMaxSize, 0);
    EXPECT_EQ(fresh.ConversionRequest(nullptr).GifQuality, DefaultGifQuality);

    TVGProj project([] {
        TProjectDefaults defaults;
        defaults.GifQuality = 40;
        defaults.GifMaxSize = 8'000'000;
        return defaults;
    });
    EXPECT_EQ(project.GifQuality, 40);
    EXPECT_EQ(project.GifMaxSize, 8'000'000);
    project.GifQuality = 75; // as the output settings dialog sets them
    project.GifMaxSize = 2'500'000;
    const TVGConvertFlag request = project.ConversionRequest(nullptr);
    EXPECT_EQ(request.GifQuality, 75);
    EXPECT_EQ(request.GifMaxSize, 2'500'000);
}
