#include "app/Brand.h"
#include "app/VGApp.h"
#include "tests/support/TestUtils.h"

#include <gtest/gtest.h>

TEST(Brand, TheFirstSwitchThatIsOnWinsAndNoSwitchMeansTheDefaultBrand) {
    EXPECT_EQ(SelectBrand({}), brBrenvik);
    EXPECT_EQ(SelectBrand({.Qopa = true}), brQopa);
    EXPECT_EQ(SelectBrand({.Pelmat = true, .Qopa = true}), brPelmat);
    EXPECT_EQ(SelectBrand({.Ftalm = true, .Durwen = true}), brFtalm);
    EXPECT_EQ(
        SelectBrand({.Talmori = true, .Ftalm = true, .Durwen = true, .Pelmat = true, .Qopa = true}),
        brTalmori);
    EXPECT_EQ(SelectBrand({.Durwen = true, .Qopa = true}), brDurwen);
}

TEST(Brand, ThisBuildIsTheQopaProfile) {
    EXPECT_EQ(&CurrentBrand(), &BrandProfiles()[brQopa]);
    EXPECT_EQ(TApp::GetTitle(), QStringLiteral("Qopasoft GIF Clip Maker"));
    EXPECT_EQ(TApp::GetCompanyName(), QStringLiteral("Qopasoft"));
    EXPECT_EQ(TApp::GetProductFolder(), QStringLiteral("GIF Clip Maker"));
}

TEST(Brand, TitlesAndFoldersOfEveryProfile) {
    const auto& p = BrandProfiles();
    EXPECT_EQ(BrandTitle(p[brTalmori]), QStringLiteral("Talmori GIF Clip Maker"));
    EXPECT_EQ(BrandTitle(p[brFtalm]), QStringLiteral("Free GIF Clip Maker"));
    EXPECT_EQ(BrandTitle(p[brDurwen]), QStringLiteral("Durwen GIF Clip Maker"));
    EXPECT_EQ(BrandTitle(p[brPelmat]), QStringLiteral("GIF Clip Maker Pro"));
    EXPECT_EQ(BrandTitle(p[brQopa]), QStringLiteral("Qopasoft GIF Clip Maker"));
    EXPECT_EQ(BrandTitle(p[brBrenvik]), QStringLiteral("Brenviksoft GIF Clip Maker"));

    const QString base = QStringLiteral("/home/u/.local/share/");
    EXPECT_EQ(BrandDataPath(p[brFtalm], base), base + "Talmori/Free GIF Clip Maker/");
    EXPECT_EQ(BrandDataPath(p[brPelmat], base), base + "GIF Clip Maker Pro/");
    EXPECT_EQ(BrandDataPath(p[brQopa], QStringLiteral("/d")),
              QStringLiteral("/d/Qopasoft/GIF Clip Maker/"));

    int defaults = 0, skipping = 0, free = 0;
    for (const auto& profile : p) {
        defaults += profile.DefaultBrand;
        skipping += profile.SkipInstallChecks;
        free += profile.FreeEdition;
    }
    EXPECT_EQ(defaults, 1);
    EXPECT_TRUE(p[brBrenvik].DefaultBrand);
    EXPECT_EQ(skipping, 0);
    EXPECT_EQ(free, 1);
    EXPECT_TRUE(p[brPelmat].OwnSkins && p[brQopa].OwnSkins);
    EXPECT_FALSE(p[brTalmori].OwnSkins || p[brFtalm].OwnSkins || p[brDurwen].OwnSkins ||
                 p[brBrenvik].OwnSkins);
}

TEST(Brand, DataPathFollowsTheUserDataFolder) {
    TScopedUserFolders folders;
    EXPECT_EQ(TApp::GetDataPath(), folders.DataHome() + QLatin1String("Qopasoft/GIF Clip Maker/"));
    // The settings find the same folder without the application core.
    EXPECT_EQ(CurrentDataPath(), TApp::GetDataPath());
    TApp app(QStringLiteral("/opt/prog"));
    EXPECT_EQ(app.AppPath, QStringLiteral("/opt/prog/"));
    EXPECT_EQ(app.TempPath, TApp::GetDataPath() + QLatin1String("Temp/"));
    EXPECT_EQ(app.GetSkinPath(), QStringLiteral("/opt/prog/Skin/qopa/"));
}

TEST(Brand, WebPagesSwitchToThePartnerHomeWhileThePartnerQuerySaysSo) {
    const QString purchase = TApp::GetPurchaseUrl();
    EXPECT_EQ(purchase, QString::fromUtf8(CurrentBrand().PurchaseUrl));
    bool partner = true;
    TApp::SetPartnerQuery([&] { return partner; });
    EXPECT_EQ(TApp::GetPurchaseUrl(), QString::fromUtf8(PartnerHomeUrl));
    EXPECT_EQ(TApp::GetGuideUrl(), QString::fromUtf8(PartnerHomeUrl));
    EXPECT_EQ(TApp::GetSupportUrl(), QString::fromUtf8(PartnerHomeUrl));
    partner = false;
    EXPECT_EQ(TApp::GetGuideUrl(), QString::fromUtf8(CurrentBrand().GuideUrl));
    TApp::SetPartnerQuery({});
    EXPECT_EQ(TApp::GetSupportUrl(), QString::fromUtf8(CurrentBrand().SupportUrl));
}

TEST(Brand, StripUrlQueryKeepsThePartBeforeTheFirstQuestionMark) {
    EXPECT_EQ(TApp::StripUrlQuery(QStringLiteral("https://a.example/b")),
              QStringLiteral("https://a.example/b"));
    EXPECT_EQ(TApp::StripUrlQuery(QStringLiteral("https://a.example/b?x=1?y")),
              QStringLiteral("https://a.example/b"));
    EXPECT_EQ(TApp::StripUrlQuery(QStringLiteral("?only")), QString());
    EXPECT_EQ(TApp::StripUrlQuery(QString()), QString());
}
