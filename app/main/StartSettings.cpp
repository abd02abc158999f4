#include "app/main/StartSettings.h"

#include "app/Brand.h"
#include "app/VGApp.h"
#include "project/VGProj.h"

#include <memory>

void CreateSettings() {
    delete Config;
    Config = new TVGConfig();
    // The brand's web pages follow the settings' partner status; the query reads the global
    // reference each time, so a replacement during start-up is seen.
    TApp::SetPartnerQuery([] { return Config && Config->IsPartner(); });
}

void LoadSettings() {
    if (Config)
        Config->Load();
}

void SyncInstallGUID() {
    if (TApp::DebugBuild || CurrentBrand().SkipInstallChecks || !Config)
        return;
    const QString installGUID = TApp::GetInstallGUID();
    if (Config->InstallGUID.isEmpty()) {
        Config->InstallGUID = installGUID;
        Config->Save(true);
    } else if (Config->InstallGUID != installGUID) {
        // The file belongs to an earlier installation: start again from the defaults, carrying
        // the new identifier, and overwrite the file.
        auto fresh = std::make_unique<TVGConfig>();
        fresh->InstallGUID = installGUID;
        fresh->Save(true);
        delete Config;
        Config = fresh.release();
    }
}

void SaveSettings() {
    if (Config)
        Config->Save(true);
}

void FreeSettings() {
    TApp::SetPartnerQuery({});
    delete Config;
    Config = nullptr;
}
