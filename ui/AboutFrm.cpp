#include "ui/AboutFrm.h"

#include "common/DesktopOpen.h"

#include "app/VGApp.h"
#include "common/SysInfo.h"
#include "project/VGConfig.h"
#include "ui/UIUtils.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QCoreApplication>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <utility>

namespace {

constexpr int NoticeYear = 2024;
const char* const NoticeFormat = "Copyright \u00A9 %1 %2. All rights reserved.";
const char* const LegalWarning =
    "Warning: this computer program is protected by copyright law and international treaties. "
    "Unauthorized reproduction or distribution of this program, or any portion of it, will be "
    "prosecuted to the maximum extent possible under the law.";

struct TBannerColors {
    QColor Top, Bottom, Accent;
};

TBannerColors BannerColors(const QString& folderKey) {
    if (folderKey == QLatin1String("qopa"))
        return {QColor(36, 124, 210), QColor(16, 62, 122), QColor(255, 196, 60)};
    if (folderKey == QLatin1String("pelmat"))
        return {QColor(0, 140, 128), QColor(0, 66, 62), QColor(250, 220, 90)};
    if (folderKey == QLatin1String("talmori") || folderKey == QLatin1String("ftalm"))
        return {QColor(120, 72, 176), QColor(58, 30, 96), QColor(255, 170, 90)};
    if (folderKey == QLatin1String("durwen"))
        return {QColor(196, 96, 40), QColor(104, 44, 18), QColor(255, 226, 120)};
    return {QColor(70, 82, 100), QColor(32, 38, 48), QColor(92, 160, 240)};
}

// A small film strip with a play sign: the program's mark on the banner.
void DrawFilmMark(QPainter& painter, const QRectF& box, const QColor& accent) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRoundedRect(box, 6, 6);
    painter.setBrush(QColor(40, 40, 40));
    for (int i = 0; i < 4; ++i) {
        const qreal x = box.left() + 6 + i * (box.width() - 16) / 3;
        painter.drawRect(QRectF(x, box.top() + 4, 5, 5));
        painter.drawRect(QRectF(x, box.bottom() - 9, 5, 5));
    }
    QPainterPath play;
    const QPointF c = box.center();
    play.moveTo(c + QPointF(-8, -11));
    play.lineTo(c + QPointF(12, 0));
    play.lineTo(c + QPointF(-8, 11));
    play.closeSubpath();
    painter.setBrush(accent);
    painter.drawPath(play);
}

} // namespace

TAboutTexts MakeAboutTexts(const TBrandProfile& brand, bool partner) {
    const QString partnerHome = QString::fromUtf8(PartnerHomeUrl);
    const QString support = partner ? partnerHome : QString::fromUtf8(brand.SupportUrl);
    const QString purchase = partner ? partnerHome : QString::fromUtf8(brand.PurchaseUrl);
    TAboutTexts texts;
    if (brand.DefaultBrand) {
        // The brand's own user guide, also for a partner's customer.
        texts.HpUrl = QString::fromUtf8(brand.GuideUrl);
        texts.HpText = QStringLiteral("Homepage: ") + TApp::StripUrlQuery(texts.HpUrl);
        texts.BuyUrl = support;
        texts.BuyText = QStringLiteral("Support: ") + TApp::StripUrlQuery(support);
    } else {
        texts.HpUrl = support;
        texts.HpText = QStringLiteral("Support: ") + TApp::StripUrlQuery(support);
        texts.BuyUrl = purchase;
        texts.BuyText =
            (brand.FreeEdition ? QStringLiteral("Upgrade: ") : QStringLiteral("Purchase: ")) +
            TApp::StripUrlQuery(purchase);
    }
    texts.Notice =
        QString::fromUtf8(NoticeFormat).arg(NoticeYear).arg(QString::fromUtf8(brand.CompanyName));
    return texts;
}

bool HasOwnAboutBanner(const TBrandProfile& brand) {
    return !brand.DefaultBrand || brand.FreeEdition;
}

QImage DrawAboutBanner(const TBrandProfile& brand) {
    QImage banner(387, 85, QImage::Format_RGB32);
    const TBannerColors colors = BannerColors(QString::fromUtf8(brand.FolderKey));
    QPainter painter(&banner);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, banner.width(), banner.height());
    gradient.setColorAt(0, colors.Top);
    gradient.setColorAt(1, colors.Bottom);
    painter.fillRect(banner.rect(), gradient);
    // Two soft glows for depth (gradient fills: large translucent shapes would be blended on
    // Qt's worker threads, which the thread sanitizer cannot see into).
    for (const auto& [centre, radius] :
         {std::pair{QPointF(330, -40), 150.0}, std::pair{QPointF(60, 120), 140.0}}) {
        QRadialGradient glow(centre, radius);
        glow.setColorAt(0, QColor(255, 255, 255, 40));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        painter.fillRect(banner.rect(), glow);
    }
    DrawFilmMark(painter, QRectF(16, 18, 58, 48), colors.Accent);
    QFont title(QStringLiteral("Liberation Sans"));
    title.setPixelSize(24);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    QString product = QString::fromUtf8(ProductName) + QString::fromUtf8(brand.ProductSuffix);
    if (brand.FreeEdition)
        product = QStringLiteral("Free ") + product;
    painter.drawText(QRect(88, 14, 290, 32), Qt::AlignLeft | Qt::AlignVCenter, product);
    QFont company(QStringLiteral("Liberation Sans"));
    company.setPixelSize(13);
    painter.setFont(company);
    painter.setPen(colors.Accent);
    painter.drawText(QRect(90, 46, 240, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8(brand.CompanyName));
    return banner;
}

TAboutContext TAboutContext::Current() {
    TAboutContext context;
    context.Brand = &CurrentBrand();
    context.Partner = Config && Config->IsPartner();
    const QString appPath =
        App ? App->AppPath : QCoreApplication::applicationDirPath() + QLatin1Char('/');
    context.SkinFolder = appPath + QLatin1String("Skin/") +
                         QString::fromUtf8(context.Brand->FolderKey) + QLatin1Char('/');
    context.Version = App ? App->GetVersionText(true)
                          : GetProVersion(QCoreApplication::applicationFilePath(), true);
    return context;
}

TAboutForm::TAboutForm(const TAboutContext& context, QWidget* parent)
    : TBaseUIForm(parent), FContext(context) {
    if (!FContext.Brand)
        FContext.Brand = &CurrentBrand();
    setObjectName(QStringLiteral("TAboutForm"));
    resize(ClientWidth, ClientHeight);
    setMinimumSize(ClientWidth, ClientHeight);
    SetCaption(QStringLiteral("About"));
    btnOkMe->hide();
    btnCancelMe->hide();
    BuildControls();
    FormCreate();
    FillTexts();
}

void TAboutForm::BuildControls() {
    Image1 = new TSkinImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(19, 45, 387, 85);
    Image1->SetStretch(true);
    Image1->SetPicture(DrawAboutBanner(*FContext.Brand));
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont bold = lblVersion->font();
    bold.setBold(true);
    lblVersion->setFont(bold);
    QPalette white = lblVersion->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lblVersion->setPalette(white);
    lblVersion->setAttribute(Qt::WA_TranslucentBackground);
    lblVersion->setText(QStringLiteral("Ver %1").arg(FContext.Version));
    lblVersion->adjustSize();
    lblVersion->move(347, 54);

    Label6 = new QLabel(QString::fromUtf8(LegalWarning), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(25, 152, 372, 53);
    Label6->setWordWrap(true);
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    ulblHp = new TLinkLabel(this);
    ulblHp->setObjectName(QStringLiteral("ulblHp"));
    ulblHp->setGeometry(140, 228, 145, 15);
    ulblBuy = new TLinkLabel(this);
    ulblBuy->setObjectName(QStringLiteral("ulblBuy"));
    ulblBuy->setGeometry(140, 251, 145, 15);
    for (TLinkLabel* link : {ulblHp, ulblBuy}) {
        link->setAlignment(Qt::AlignCenter);
        link->setFocusPolicy(Qt::StrongFocus); // Tab reaches the links; Return opens them
        connect(link, &QLabel::linkActivated, this,
                [](const QString& url) { OpenOnDesktop(url, TDesktopTarget::WebPage); });
    }
    SetTabChain({ulblHp, ulblBuy});
    Image1->setAccessibleName(QStringLiteral("Banner"));

    Label5 = new QLabel(this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setGeometry(9, 293, 405, 14);
    Label5->setAlignment(Qt::AlignCenter);
    QFont notice = Label5->font();
    notice.setBold(true);
    Label5->setFont(notice);
}

void TAboutForm::FillTexts() {
    lblVersion->setText(QStringLiteral("Ver %1").arg(FContext.Version));
    const TAboutTexts texts = MakeAboutTexts(*FContext.Brand, FContext.Partner);
    ulblHp->setText(texts.HpText);
    ulblHp->SetUrl(texts.HpUrl);
    ulblBuy->setText(texts.BuyText);
    ulblBuy->SetUrl(texts.BuyUrl);
    for (TLinkLabel* link : {ulblHp, ulblBuy})
        link->resize(link->sizeHint().width(), link->height());
    // The purchase link of the other brands is kept within the banner's width.
    if (!FContext.Brand->DefaultBrand)
        FitUrlLabel(ulblBuy, Image1->width());
    for (TLinkLabel* link : {ulblHp, ulblBuy})
        link->move((width() - link->width()) / 2, link->y());
    Label5->setText(texts.Notice);
}

void TAboutForm::ApplySkin() {
    TBaseUIForm::ApplySkin();
    if (!HasOwnAboutBanner(*FContext.Brand))
        return;
    const QString file = FContext.SkinFolder + QLatin1String(AboutBannerFile);
    // A missing or unreadable file keeps the banner drawn here.
    if (QFile::exists(file))
        Image1->LoadFromFile(file);
}

void TAboutForm::AdjustForDpi() {
    TBaseUIForm::AdjustForDpi();
    Image1->move((width() - Image1->width()) / 2, Image1->y());
    lblVersion->move(Image1->x() + Image1->width() - lblVersion->width() - 13, lblVersion->y());
}

void ShowAboutForm() {
    TAboutForm form;
    form.ShowModal();
}
