#pragma once
// The settings that outlive one video: the defaults every new project starts from, two limits,
// how the crop rectangle is shown, and the installation bookkeeping. Kept in "ConfigSet.vgset"
// in the per-user data folder.

#include "persistence/BaseProj.h"
#include "project/VGSizeStyle.h"

#include <QString>
#include <atomic>

// Identifiers of the output size styles, by ordinal.
extern const TEnumInfo SizeStyleEnum;

// The styles of a caption font; a set of them is kept as bits by ordinal (bit 0 bold, bit 1
// italic, bit 2 underline, bit 3 strike-out).
enum TFontStyle { fsBold = 0, fsItalic = 1, fsUnderline = 2, fsStrikeOut = 3 };
using TFontStyles = TSet<TFontStyle>;
// Identifiers of the font styles: "fsBold", "fsItalic", "fsUnderline", "fsStrikeOut".
extern const TEnumInfo FontStyleEnum;

// The file name of the settings in the per-user data folder.
inline constexpr const char* ConfigFileName = "ConfigSet.vgset";

class TVGConfig : public TBaseConfig {
    VG_PERSISTENT(TVGConfig, TBaseConfig)
public:
    // Every default below; ProjName "VG"; ConfigFile: the per-user data folder followed by
    // "ConfigSet.vgset".
    TVGConfig();

    // While false, the main window starts the install-tracking client when it is shown; the
    // client sets it (from its own thread).
    std::atomic<bool> InstallTracked = false;
    // Whether the crop rectangle is drawn over the picture when cropping is on, and its colour
    // (0x00BBGGRR; also the crop dialog's rectangle, frame and handles).
    bool ShowCropRc = true;
    int CropRcColor = 255;
    // Defaults of new projects.
    TSizeStyle SizeStyle = ssHalf;
    // Largest number of frames written into one GIF.
    int GifMaxFrame = 1000;
    int GifFPS = 8;
    // Playback speed factor: 1.0 keeps the video's own speed.
    double GifSpeed = 1.0;
    // Replay count: -1 loops endlessly.
    int GifLoop = -1;
    // Frames in one decoding group of the frame strip.
    int DecodeNum = 30;
    // 0 not yet known (the install-tracking client asks once); 2 the web links go to the partner
    // brand's site; anything else the brand's own pages. Written by the client's thread.
    std::atomic<int> PartnerStatus = 0;
    // The installation these settings were made for.
    QString InstallGUID;
    // Default caption font.
    QString FontName = QStringLiteral("Arial");
    int FontSize = 14;
    int FontColor = 0xFFFFFF;
    TFontStyles FontStyles;
    // Fidelity against size of new projects' GIFs, 1 (smallest) to 100 (most faithful).
    int GifQuality = 90;
    // The largest file new projects' GIFs may be, in bytes; 0: no limit.
    qint64 GifMaxSize = 0;

    bool IsPartnerUnknown() const { return PartnerStatus == 0; }
    bool IsPartner() const { return PartnerStatus == 2; }

    static void DeclareProps(TPropDecl<TVGConfig>& p);
};

// The one settings object of the process. It is created before the start-up code runs and may be
// replaced once during start-up (a new installation), so nobody keeps a pointer of their own.
extern TVGConfig* Config;
