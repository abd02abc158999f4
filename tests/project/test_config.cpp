// The output configuration: defaults, the file a fresh object writes, and round trips.

#include "app/VGApp.h"
#include "common/Log.h"
#include "engine/Video2Gif.h"
#include "project/VGProj.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <gtest/gtest.h>

namespace {

// Loads a settings file of the given elements into a fresh object, logging into `logFile`.
std::unique_ptr<TVGConfig> LoadSettings(const QByteArray& elements, const QString& logFile) {
    auto config = std::make_unique<TVGConfig>();
    EXPECT_TRUE(WriteFile(config->ConfigFile,
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config project=\"VG\">" +
                              elements + "</Config>"));
    TLog log(logFile, QStringLiteral("MX_TEST_VGConfig_Log"));
    SetLogObj(&log);
    config->Load();
    SetLogObj(nullptr);
    EXPECT_TRUE(config->Loaded);
    return config;
}

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
    EXPECT_EQ(TVGConfig(QStringLiteral("/elsewhere/")).ConfigFile,
              QStringLiteral("/elsewhere/ConfigSet.vgset"));
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
        QStringLiteral("  <OutputFormat>ofGif</OutputFormat>"),
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

// The bytes of a settings file read as the file does, and the document a save writes is the
// file's; bytes that are no settings file leave the object unloaded and say why.
TEST(VGConfig, BytesReadAsTheFileAndTheSavedDocumentIsTheFile) {
    TScopedUserFolders folders;
    QDir().mkpath(TApp::GetDataPath());
    TVGConfig config;
    config.GifFPS = 12;
    config.FontName = QStringLiteral("Noto Sans\r");
    ASSERT_TRUE(config.Save(true));
    QFile file(config.ConfigFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(SerializeXMLDocument(config.SaveToDocument()), bytes);

    TVGConfig fromBytes(QStringLiteral("/nonexistent/"));
    ASSERT_TRUE(fromBytes.LoadFromData(bytes));
    EXPECT_TRUE(fromBytes.Loaded);
    EXPECT_EQ(fromBytes.GifFPS, 12);
    EXPECT_EQ(fromBytes.FontName, config.FontName);

    TVGConfig broken(QStringLiteral("/nonexistent/"));
    QString problem;
    EXPECT_FALSE(broken.LoadFromData("<Config><GifFPS>3</Config>", &problem));
    EXPECT_FALSE(broken.Loaded);
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_FALSE(broken.LoadFromData(QByteArray(), &problem));
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
    EXPECT_EQ(config.GifLoop, -1); // empty: no number, so the default
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
    const TConversionRequest request = project.ConversionRequest(nullptr);
    EXPECT_EQ(request.GifQuality, 75);
    EXPECT_EQ(request.GifMaxSize, 2'500'000);
}

// Values no dialog would store, from a damaged or hand-edited file, go back to their defaults with
// one log line each naming the setting; the settings around them are read as they are.
TEST(VGConfig, UnusableNumbersFallBackToTheirDefaultsWithALogLineEach) {
    TScopedUserFolders folders;
    QDir().mkpath(TApp::GetDataPath());
    const QString logFile = TApp::GetDataPath() + QStringLiteral("log.txt");
    auto config = LoadSettings("<GifFPS>-5</GifFPS><GifQuality>5000</GifQuality>"
                               "<GifSpeed>1e308</GifSpeed><GifLoop>-99</GifLoop>"
                               "<DecodeNum>0</DecodeNum><FontSize>-1</FontSize>"
                               "<GifMaxSize>-1</GifMaxSize><GifMaxFrame>2147483647</GifMaxFrame>"
                               "<CropRcColor>65280</CropRcColor>",
                               logFile);
    EXPECT_EQ(config->GifFPS, 8);
    EXPECT_EQ(config->GifQuality, DefaultGifQuality);
    EXPECT_DOUBLE_EQ(config->GifSpeed, 1.0);
    EXPECT_EQ(config->GifLoop, -1);
    EXPECT_EQ(config->DecodeNum, 30);
    EXPECT_EQ(config->FontSize, 14);
    EXPECT_EQ(config->GifMaxSize, 0);
    EXPECT_EQ(config->GifMaxFrame, 1000);
    EXPECT_EQ(config->CropRcColor, 0x00FF00);
    const QStringList lines = ReadLines(logFile);
    const QStringList names = {"GifFPS",    "GifQuality", "GifSpeed",   "GifLoop",
                               "DecodeNum", "FontSize",   "GifMaxSize", "GifMaxFrame"};
    ASSERT_EQ(lines.size(), names.size()) << qPrintable(lines.join('\n'));
    for (const QString& name : names)
        EXPECT_EQ(lines.filter(QLatin1Char(' ') + name + QLatin1Char(' ')).size(), 1)
            << qPrintable(name);
    EXPECT_TRUE(lines.filter("GifFPS").value(0).contains("-5"));

    // Text that is no number gives the default, not 0, even where 0 would be usable; a later
    // good element of the same name wins over an earlier bad one.
    QFile::remove(logFile);
    config = LoadSettings("<GifLoop>many</GifLoop><GifMaxSize>8M</GifMaxSize><GifSpeed>nan"
                          "</GifSpeed><GifFPS>x</GifFPS><GifFPS>20</GifFPS><FontSize/>",
                          logFile);
    EXPECT_EQ(config->GifLoop, -1);
    EXPECT_EQ(config->GifMaxSize, 0);
    EXPECT_DOUBLE_EQ(config->GifSpeed, 1.0);
    EXPECT_EQ(config->GifFPS, 20);
    EXPECT_EQ(config->FontSize, 14);
    EXPECT_EQ(ReadLines(logFile).size(), 4);
}

// The ends of every range are still read as written, with nothing logged.
TEST(VGConfig, ValuesAtTheEndsOfTheirRangesLoadAsWritten) {
    TScopedUserFolders folders;
    QDir().mkpath(TApp::GetDataPath());
    const QString logFile = TApp::GetDataPath() + QStringLiteral("log.txt");
    for (const auto& [elements, expect] : std::initializer_list<
             std::pair<QByteArray, std::tuple<int, int, double, int, int, int, int, qint64>>>{
             {"<GifMaxFrame>1</GifMaxFrame><GifFPS>1</GifFPS><GifSpeed>0.01</GifSpeed>"
              "<GifLoop>-1</GifLoop><DecodeNum>1</DecodeNum><FontSize>1</FontSize>"
              "<GifQuality>1</GifQuality><GifMaxSize>0</GifMaxSize>",
              {1, 1, 0.01, -1, 1, 1, 1, 0}},
             {"<GifMaxFrame>100000</GifMaxFrame><GifFPS>50</GifFPS><GifSpeed>100</GifSpeed>"
              "<GifLoop>65535</GifLoop><DecodeNum>10000</DecodeNum><FontSize>1000</FontSize>"
              "<GifQuality>100</GifQuality><GifMaxSize>64</GifMaxSize>",
              {100000, 50, 100.0, 65535, 10000, 1000, 100, 64}},
             {"<GifLoop>0</GifLoop>", {1000, 8, 1.0, 0, 30, 14, 90, 0}},
         }) {
        const auto c = LoadSettings(elements, logFile);
        EXPECT_EQ(std::make_tuple(c->GifMaxFrame, c->GifFPS, c->GifSpeed, c->GifLoop, c->DecodeNum,
                                  c->FontSize, c->GifQuality, c->GifMaxSize),
                  expect)
            << elements.data();
    }
    EXPECT_FALSE(QFile::exists(logFile)) << qPrintable(ReadLines(logFile).join('\n'));
    // One past each end is refused.
    const auto c = LoadSettings("<GifMaxFrame>100001</GifMaxFrame><GifFPS>51</GifFPS>"
                                "<GifSpeed>0</GifSpeed><GifLoop>65536</GifLoop>"
                                "<DecodeNum>10001</DecodeNum><FontSize>1001</FontSize>"
                                "<GifQuality>0</GifQuality><GifMaxSize>63</GifMaxSize>",
                                logFile);
    EXPECT_EQ(ReadLines(logFile).size(), 8);
}
