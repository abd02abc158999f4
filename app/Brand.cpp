#include "app/Brand.h"

#include "common/Folders.h"

#include <QUrl>

const std::array<TBrandProfile, brCount>& BrandProfiles() {
    static const std::array<TBrandProfile, brCount> profiles = {{
        {"talmori", "Talmori Studio", "Talmori", false, "", false, false, false,
         "https://www.talmori.example/gif-clip-maker/buy",
         "https://www.talmori.example/gif-clip-maker/guide", "https://www.talmori.example/support"},
        {"ftalm", "Talmori Studio", "Talmori", true, "", false, false, false,
         "https://www.talmori.example/gif-clip-maker/buy?edition=free",
         "https://www.talmori.example/gif-clip-maker/guide", "https://www.talmori.example/support"},
        {"durwen", "Durwen", "Durwen", false, "", false, false, false,
         "https://www.durwen.example/gif-clip-maker/buy",
         "https://www.durwen.example/gif-clip-maker/guide", "https://www.durwen.example/support"},
        {"pelmat", "Pelmatix", "", false, " Pro", true, false, false,
         "https://www.pelmatix.example/store?product=gif-clip-maker-pro",
         "https://www.pelmatix.example/gif-clip-maker-pro/guide",
         "https://www.pelmatix.example/support"},
        {"qopa", "Qopasoft", "Qopasoft", false, "", true, false, false,
         "https://www.qopasoft.example/gif-clip-maker/buy?src=app",
         "https://www.qopasoft.example/gif-clip-maker/guide",
         "https://www.qopasoft.example/support"},
        {"brenvik", "Brenviksoft", "Brenviksoft", false, "", false, true, false,
         "https://www.brenviksoft.example/gif-clip-maker/buy",
         "https://www.brenviksoft.example/gif-clip-maker/guide",
         "https://www.brenviksoft.example/support"},
    }};
    return profiles;
}

TBrandId SelectBrand(const TBrandSwitches& switches) {
    if (switches.Talmori)
        return brTalmori;
    if (switches.Ftalm)
        return brFtalm;
    if (switches.Durwen)
        return brDurwen;
    if (switches.Pelmat)
        return brPelmat;
    if (switches.Qopa)
        return brQopa;
    return brBrenvik;
}

TBrandSwitches BuildBrandSwitches() {
    TBrandSwitches switches;
#ifdef VG_BRAND_TALMORI
    switches.Talmori = true;
#endif
#ifdef VG_BRAND_FTALM
    switches.Ftalm = true;
#endif
#ifdef VG_BRAND_DURWEN
    switches.Durwen = true;
#endif
#ifdef VG_BRAND_PELMAT
    switches.Pelmat = true;
#endif
#ifdef VG_BRAND_QOPA
    switches.Qopa = true;
#endif
    return switches;
}

const TBrandProfile& CurrentBrand() {
    static const TBrandProfile& profile = BrandProfiles()[SelectBrand(BuildBrandSwitches())];
    return profile;
}

QString BrandTrackUrl(const TBrandProfile& brand) {
    QUrl url(QString::fromUtf8(brand.SupportUrl));
    url.setPath(QStringLiteral("/gif-clip-maker/install-track.txt"));
    url.setQuery(QString());
    return url.toString();
}

QString BrandProductName(const TBrandProfile& brand) {
    return QString::fromUtf8(ProductName) + QString::fromUtf8(brand.ProductSuffix);
}

QString BrandProductFolder(const TBrandProfile& brand) {
    return brand.FreeEdition ? QLatin1String("Free ") + BrandProductName(brand)
                             : BrandProductName(brand);
}

QString BrandTitle(const TBrandProfile& brand) {
    if (brand.FreeEdition)
        return QLatin1String("Free ") + BrandProductName(brand);
    const QString company = QString::fromUtf8(brand.CompanyFolder);
    if (!company.isEmpty())
        return company + QLatin1Char(' ') + BrandProductName(brand);
    return BrandProductName(brand);
}

QString BrandDataPath(const TBrandProfile& brand, const QString& appDataPath) {
    const QString company = QString::fromUtf8(brand.CompanyFolder);
    QString path = IncludeTrailingPathDelimiter(appDataPath);
    if (!company.isEmpty())
        path += company + QLatin1Char('/');
    return path + BrandProductFolder(brand) + QLatin1Char('/');
}

QString CurrentDataPath() {
    return BrandDataPath(CurrentBrand(), GetAppDataPath());
}
