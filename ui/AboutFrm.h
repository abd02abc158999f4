#pragma once
// The About box: the brand's banner with the program version on it, two links to the brand's
// web pages, the legal warning and the rights notice with the year and the company name.
// It closes with the title bar's close button or Escape; OK and Cancel are hidden.

#include "app/Brand.h"
#include "ui/BaseUIFrm.h"

#include <QImage>

class QLabel;
class TLinkLabel;
class TSkinImage;

// What the About box shows for a brand profile: texts and addresses of the two links, and the
// rights notice.
struct TAboutTexts {
    QString HpText, HpUrl;
    QString BuyText, BuyUrl;
    QString Notice;
};
// `partner`: the user is a partner's customer (the support and purchase pages then lead to the
// partner's home page; the default brand's user guide does not change).
TAboutTexts MakeAboutTexts(const TBrandProfile& brand, bool partner);

// The banner of a brand (387 x 85): drawn here for the built-in look and by the skin generator
// into the brand's skin folder, from where the About box of a brand with its own banner loads it.
QImage DrawAboutBanner(const TBrandProfile& brand);
inline constexpr const char* AboutBannerFile = "TAboutForm.Banner.jpg";
// Whether a brand's About box loads its banner from the skin folder: every profile but the
// default one, and every free edition.
bool HasOwnAboutBanner(const TBrandProfile& brand);

// Where the About box takes its facts from; Current() is this build's.
struct TAboutContext {
    const TBrandProfile* Brand = nullptr;
    bool Partner = false;
    QString SkinFolder; // ends in "/"
    QString Version;
    static TAboutContext Current();
};

class TAboutForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TAboutForm(const TAboutContext& context = TAboutContext::Current(),
                        QWidget* parent = nullptr);

    void ApplySkin() override;
    void AdjustForDpi() override;

    TSkinImage* Image1;
    QLabel* lblVersion;
    QLabel* Label6;
    TLinkLabel* ulblHp;
    TLinkLabel* ulblBuy;
    QLabel* Label5;

    static constexpr int ClientWidth = 426;
    static constexpr int ClientHeight = 329;

private:
    void BuildControls();
    void FillTexts();
    TAboutContext FContext;
};

// Shows the About box modally.
void ShowAboutForm();
