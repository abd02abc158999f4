// The output configuration: defaults, the file a fresh object writes, and round trips.

#include "app/VGApp.h"
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

TEST(VGConfig, AFreshObjectHasTheDefaultsOfAFirstStart) {
    TScopedUserFolders folders;
    TVGConfig config;
    EXPECT_EQ(config.ProjName, QStringLiteral("VG"));
    EXPECT_EQ(config.ConfigFile, TApp::GetDataPath() + QStringLiteral("ConfigSet.vgset"));
    EXPECT_TRUE(config.ConfigFile.startsWith(folders.DataHome()));
    EXPECT_FALSE(config.InstallTracked);
    EXPECT_TRUE(config.ShowCropRc);
    EXPECT_EQ(config.CropRcColor, 255);
    EXPECT_EQ(config.SizeStyle, ssHalf);
    EXPECT_EQ(config.GifMaxFrame, 1000);
    EXPECT_EQ(config.GifFPS, 8);
    EXPECT_EQ(config.GifSpeed, 1.0);
    EXPECT_EQ(config.GifLoop, -1);
    EXPECT_EQ(config.DecodeNum, 30);
    EXPECT_EQ(config.PartnerStatus, 0);
    EXPECT_TRUE(config.InstallGUID.isEmpty());
    EXPECT_EQ(config.FontName, QStringLiteral("Arial"));
    EXPECT_EQ(config.FontSize, 14);
    EXPECT_EQ(config.FontColor, 16777215);
    EXPECT_TRUE(config.FontStyles.IsEmpty());
    EXPECT_FALSE(config.Loaded);

    // Loading without a file keeps all of that.
    config.Load();
    EXPECT_FALSE(config.Loaded);
    EXPECT_EQ(config.GifFPS, 8);
}

TEST(VGConfig, AFreshSaveWritesEverySettingInTableOrder) {
    TScopedUserFolders folders;
    TVGConfig config;
    config.ConfigFile = folders.Root() + QStringLiteral("ConfigSet.vgset");
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
    config.FontName = QStringLiteral("Noto Sans CJK 日本");
    config.FontSize = 40;
    config.FontColor = 0;
    config.FontStyles = TFontStyles{fsUnderline, fsStrikeOut, fsBold};
    ASSERT_TRUE(config.Save(true));
    EXPECT_TRUE(Utf16FileText(config.ConfigFile)
                    .contains(QStringLiteral("<FontStyles>fsBold,fsUnderline,fsStrikeOut"
                                             "</FontStyles>")));

    TVGConfig loaded;
    loaded.Load();
    ASSERT_TRUE(loaded.Loaded);
    EXPECT_TRUE(loaded.InstallTracked);
    EXPECT_FALSE(loaded.ShowCropRc);
    EXPECT_EQ(loaded.CropRcColor, 0x00FF00);
    EXPECT_EQ(loaded.SizeStyle, ssCustom);
    EXPECT_EQ(loaded.GifMaxFrame, 250);
    EXPECT_EQ(loaded.GifFPS, 25);
    EXPECT_DOUBLE_EQ(loaded.GifSpeed, 0.2);
    EXPECT_EQ(loaded.GifLoop, 3);
    EXPECT_EQ(loaded.DecodeNum, 12);
    EXPECT_EQ(loaded.PartnerStatus, 2);
    EXPECT_EQ(loaded.InstallGUID, config.InstallGUID);
    EXPECT_EQ(loaded.FontName, config.FontName);
    EXPECT_EQ(loaded.FontSize, 40);
    EXPECT_EQ(loaded.FontColor, 0);
    EXPECT_EQ(loaded.FontStyles.Bits(), 0b1101u);
    EXPECT_TRUE(loaded.FontStyles.Contains(fsStrikeOut));
    EXPECT_FALSE(loaded.FontStyles.Contains(fsItalic));
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

TEST(VGConfig, PartnerStatusDecidesThePartnerQueries) {
    TVGConfig config;
    EXPECT_TRUE(config.IsPartnerUnknown());
    EXPECT_FALSE(config.IsPartner());
    config.PartnerStatus = 2;
    EXPECT_FALSE(config.IsPartnerUnknown());
    EXPECT_TRUE(config.IsPartner());
    config.PartnerStatus = 1;
    EXPECT_FALSE(config.IsPartnerUnknown());
    EXPECT_FALSE(config.IsPartner());
}
