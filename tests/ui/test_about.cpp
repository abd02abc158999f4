// The About box for every brand profile: link texts and addresses, the shortened purchase link,
// the rights notice, the banner from the skin folder, the version, closing and high DPI.

#include "app/Brand.h"
#include "tests/support/DesktopRecorder.h"
#include "tests/support/TestUtils.h"
#include "ui/AboutFrm.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        TBaseForm::SetScreenDpiProvider([] { return 96; });
        TBaseForm::SetLanguageIdOverride(1033);
    }
    void TearDown() override {
        TBaseForm::SetScreenDpiProvider({});
        TBaseForm::SetLanguageIdOverride(0);
    }
    TAboutContext Context(const TBrandProfile& brand, bool partner = false) {
        TAboutContext context;
        context.Brand = &brand;
        context.Partner = partner;
        context.SkinFolder = Skins.path() + QLatin1Char('/');
        context.Version = QStringLiteral("3.4.0.0");
        return context;
    }
    TDesktopRecorder Desktop;
    QStringList& Opened = Desktop.Opened;
    QTemporaryDir Skins;
};

} // namespace

TEST_F(AboutTest, EveryBrandProfile) {
    for (const TBrandProfile& brand : BrandProfiles()) {
        SCOPED_TRACE(brand.FolderKey);
        TAboutForm form(Context(brand));
        const QString hp = form.ulblHp->text(), buy = form.ulblBuy->text();
        if (brand.DefaultBrand) {
            EXPECT_TRUE(hp.startsWith(QLatin1String("Homepage: ")));
            EXPECT_EQ(form.ulblHp->Url(), QString::fromUtf8(brand.GuideUrl));
            EXPECT_TRUE(buy.startsWith(QLatin1String("Support: ")));
            EXPECT_EQ(form.ulblBuy->Url(), QString::fromUtf8(brand.SupportUrl));
        } else {
            EXPECT_TRUE(hp.startsWith(QLatin1String("Support: ")));
            EXPECT_EQ(form.ulblHp->Url(), QString::fromUtf8(brand.SupportUrl));
            EXPECT_TRUE(buy.startsWith(brand.FreeEdition ? QLatin1String("Upgrade: ")
                                                         : QLatin1String("Purchase: ")));
            EXPECT_EQ(form.ulblBuy->Url(), QString::fromUtf8(brand.PurchaseUrl));
        }
        EXPECT_FALSE(hp.contains(QLatin1Char('?')));
        EXPECT_FALSE(buy.contains(QLatin1Char('?')));
        EXPECT_TRUE(form.Label5->text().contains(QLatin1String("2024")));
        EXPECT_TRUE(form.Label5->text().contains(QString::fromUtf8(brand.CompanyName)));
        EXPECT_EQ(form.lblVersion->text(), QStringLiteral("Ver 3.4.0.0"));
        EXPECT_EQ(form.windowTitle(), QStringLiteral("About"));
        EXPECT_FALSE(form.btnOkMe->isVisibleTo(&form));
        EXPECT_FALSE(form.btnCancelMe->isVisibleTo(&form));
        for (TLinkLabel* link : {form.ulblHp, form.ulblBuy})
            EXPECT_EQ(link->x(), (form.width() - link->width()) / 2);
    }
}

TEST_F(AboutTest, QueryIsHiddenButOpened) {
    const TBrandProfile& qopa = BrandProfiles()[brQopa];
    ASSERT_TRUE(QString::fromUtf8(qopa.PurchaseUrl).contains(QLatin1Char('?')));
    TAboutForm form(Context(qopa));
    EXPECT_EQ(form.ulblBuy->text(), QStringLiteral("Purchase: https://www.qopasoft.example/"
                                                   "gif-clip-maker/buy"));
    QTest::mouseClick(form.ulblBuy, Qt::LeftButton);
    EXPECT_EQ(Opened, QStringList{QString::fromUtf8(qopa.PurchaseUrl)});
}

TEST_F(AboutTest, LongPurchaseAddressIsShortenedAndOpensInFull) {
    TBrandProfile brand = BrandProfiles()[brDurwen];
    const QByteArray longUrl = "https://www.durwen.example/a/very/long/path/to/the/store/page/of/"
                               "the/gif-clip-maker/with/many/parts?campaign=about";
    brand.PurchaseUrl = longUrl.constData();
    TAboutForm form(Context(brand));
    EXPECT_TRUE(form.ulblBuy->text().endsWith(QLatin1String("...")));
    EXPECT_LE(form.ulblBuy->width(), form.Image1->width());
    QTest::mouseClick(form.ulblBuy, Qt::LeftButton);
    EXPECT_EQ(Opened, QStringList{QString::fromLatin1(longUrl)});
}

TEST_F(AboutTest, PartnerCustomersGetThePartnersPages) {
    TAboutForm other(Context(BrandProfiles()[brQopa], true));
    EXPECT_EQ(other.ulblHp->Url(), QString::fromUtf8(PartnerHomeUrl));
    EXPECT_EQ(other.ulblBuy->Url(), QString::fromUtf8(PartnerHomeUrl));
    // The default brand's homepage stays its own user guide.
    const TBrandProfile& brenvik = BrandProfiles()[brBrenvik];
    TAboutForm own(Context(brenvik, true));
    EXPECT_EQ(own.ulblHp->Url(), QString::fromUtf8(brenvik.GuideUrl));
    EXPECT_EQ(own.ulblBuy->Url(), QString::fromUtf8(PartnerHomeUrl));
}

TEST_F(AboutTest, BannerFromTheSkinFolderForBrandsWithTheirOwn) {
    QImage skinBanner(387, 85, QImage::Format_RGB32);
    skinBanner.fill(qRgb(250, 0, 250));
    ASSERT_TRUE(skinBanner.save(Skins.filePath(QString::fromLatin1(AboutBannerFile))));
    TAboutForm talmori(Context(BrandProfiles()[brTalmori]));
    EXPECT_EQ(talmori.Image1->Picture().pixel(10, 10), qRgb(250, 0, 250));
    TAboutForm brenvik(Context(BrandProfiles()[brBrenvik]));
    EXPECT_EQ(brenvik.Image1->Picture(), DrawAboutBanner(BrandProfiles()[brBrenvik]));
    EXPECT_FALSE(HasOwnAboutBanner(BrandProfiles()[brBrenvik]));
    EXPECT_TRUE(HasOwnAboutBanner(BrandProfiles()[brFtalm]));
}

TEST_F(AboutTest, MissingBannerFileKeepsTheDrawnOne) {
    const TBrandProfile& pelmat = BrandProfiles()[brPelmat];
    TAboutForm form(Context(pelmat));
    EXPECT_EQ(form.Image1->Picture(), DrawAboutBanner(pelmat));
    EXPECT_EQ(form.Image1->Picture().size(), QSize(387, 85));
}

TEST_F(AboutTest, EscapeCloses) {
    TAboutForm form(Context(BrandProfiles()[brQopa]));
    QTimer::singleShot(0, [&] { QTest::keyClick(&form, Qt::Key_Escape); });
    EXPECT_EQ(form.ShowModal(), 2);
}

TEST_F(AboutTest, HighDpiCentresTheBannerAndPlacesTheVersion) {
    TBaseForm::SetScreenDpiProvider([] { return 144; });
    TAboutForm form(Context(BrandProfiles()[brQopa]));
    EXPECT_EQ(form.Image1->x(), (form.width() - form.Image1->width()) / 2);
    EXPECT_EQ(form.lblVersion->x() + form.lblVersion->width(),
              form.Image1->x() + form.Image1->width() - 13);
}
