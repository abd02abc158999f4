#pragma once
// Brand profiles. The program is built for one brand; the build switches are tested in the
// order of the table below and the first one that is on wins. With no switch on, the last
// profile (brenvik) applies.

#include <QString>
#include <array>

// The words after the company name in the title.
inline constexpr const char* ProductName = "GIF Clip Maker";

struct TBrandProfile {
    const char* FolderKey;     // names the skin folder
    const char* CompanyName;   // shown in the About box
    const char* CompanyFolder; // names the company's data folder and starts the title
    bool FreeEdition;          // "Free " before the title and the product folder
    const char* ProductSuffix; // appended to the product name (" Pro")
    bool OwnSkins;             // dialogs and the main window load the brand's skin pictures
    bool DefaultBrand;         // the profile that applies when no switch is on
    bool SkipInstallChecks;    // no registry identifier needed, no install tracking
    const char* PurchaseUrl;
    const char* GuideUrl;
    const char* SupportUrl;
};

enum TBrandId { brTalmori, brFtalm, brDurwen, brPelmat, brQopa, brBrenvik, brCount };

const std::array<TBrandProfile, brCount>& BrandProfiles();

// The profile selected by a set of switches, in table order; brBrenvik when none is on.
struct TBrandSwitches {
    bool Talmori = false, Ftalm = false, Durwen = false, Pelmat = false, Qopa = false;
};
TBrandId SelectBrand(const TBrandSwitches& switches);

// The switches this build was made with, and the profile they select.
TBrandSwitches BuildBrandSwitches();
const TBrandProfile& CurrentBrand();

// The brand rules for any profile (the TApp operations apply them to this build's profile).
QString BrandProductName(const TBrandProfile& brand);
QString BrandProductFolder(const TBrandProfile& brand);
QString BrandTitle(const TBrandProfile& brand);
QString BrandDataPath(const TBrandProfile& brand, const QString& appDataPath);
// The per-user data folder of this build's brand (settings, log, work folder), ending in "/".
QString CurrentDataPath();

// The text the install-tracking client fetches from the brand's web server: one integer, the
// partner status. It lies on the host of the brand's support page.
QString BrandTrackUrl(const TBrandProfile& brand);

// The home page shown instead of the brand's pages while the user is a partner's customer.
inline constexpr const char* PartnerHomeUrl = "https://www.partner-software.example/";
