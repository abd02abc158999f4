#include "project/VGConfig.h"

#include "app/VGApp.h"

const TEnumInfo SizeStyleEnum{QStringLiteral("TSizeStyle"),
                              {QStringLiteral("ssOriginal"), QStringLiteral("ssHalf"),
                               QStringLiteral("ssQuarter"), QStringLiteral("ssCustom")}};

const TEnumInfo FontStyleEnum{QStringLiteral("TFontStyle"),
                              {QStringLiteral("fsBold"), QStringLiteral("fsItalic"),
                               QStringLiteral("fsUnderline"), QStringLiteral("fsStrikeOut")}};

TVGConfig* Config = nullptr;

TVGConfig::TVGConfig() {
    ProjName = QStringLiteral("VG");
    ConfigFile = TApp::GetDataPath() + QLatin1String(ConfigFileName);
}

// The order of the table is the order of the elements in the file.
void TVGConfig::DeclareProps(TPropDecl<TVGConfig>& p) {
    p.Boolean("InstallTracked", &TVGConfig::InstallTracked)
        .Boolean("ShowCropRc", &TVGConfig::ShowCropRc)
        .Integer("CropRcColor", &TVGConfig::CropRcColor)
        .Enumeration<TSizeStyle>("SizeStyle", SizeStyleEnum, &TVGConfig::SizeStyle)
        .Integer("GifMaxFrame", &TVGConfig::GifMaxFrame)
        .Integer("GifFPS", &TVGConfig::GifFPS)
        .Float("GifSpeed", &TVGConfig::GifSpeed)
        .Integer("GifLoop", &TVGConfig::GifLoop)
        .Integer("DecodeNum", &TVGConfig::DecodeNum)
        .Integer("PartnerStatus", &TVGConfig::PartnerStatus)
        .String("InstallGUID", &TVGConfig::InstallGUID)
        .String("FontName", &TVGConfig::FontName)
        .Integer("FontSize", &TVGConfig::FontSize)
        .Integer("FontColor", &TVGConfig::FontColor)
        .Set("FontStyles", FontStyleEnum, &TVGConfig::FontStyles)
        // Added later: a file without them reads as the defaults.
        .Integer("GifQuality", &TVGConfig::GifQuality)
        .Int64("GifMaxSize", &TVGConfig::GifMaxSize);
}
