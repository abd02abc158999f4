#pragma once
// The settings that outlive one video: the defaults every new project starts from, two limits,
// how the crop rectangle is shown, and the installation bookkeeping. Kept in "ConfigSet.vgset"
// in the per-user data folder.

#include "engine/OutputFormat.h"
#include "persistence/BaseProj.h"
#include "project/VGSizeStyle.h"

#include <QString>
#include <QStringList>
#include <atomic>

// Identifiers of the output size styles, by ordinal.
extern const TEnumInfo SizeStyleEnum;
// Identifiers of the output formats: "ofGif", "ofWebP", "ofMp4".
extern const TEnumInfo OutputFormatEnum;

// The styles of a caption font; a set of them is kept as bits by ordinal (bit 0 bold, bit 1
// italic, bit 2 underline, bit 3 strike-out).
enum TFontStyle { fsBold = 0, fsItalic = 1, fsUnderline = 2, fsStrikeOut = 3 };
using TFontStyles = TSet<TFontStyle>;
// Identifiers of the font styles: "fsBold", "fsItalic", "fsUnderline", "fsStrikeOut".
extern const TEnumInfo FontStyleEnum;

// The defaults of the settings whose range is checked after loading.
inline constexpr int DefaultGifMaxFrame = 1000;
inline constexpr int DefaultGifFPS = 8;
inline constexpr double DefaultGifSpeed = 1.0;
inline constexpr int DefaultGifLoop = -1;
inline constexpr int DefaultDecodeNum = 30;
inline constexpr int DefaultFontSize = 14;
inline constexpr qint64 DefaultGifMaxSize = 0;

// The ranges a loaded setting must lie in: the most frames one GIF may hold and one decoding
// group may take, the frame rates the dialogs offer, a speed factor (above 0), the replay counts
// a GIF can store (-1: endless), a caption font size. Quality is 1 to 100; a size limit is 0 (none)
// or at least the smallest GIF the engine can write.
namespace SettingLimits {
inline constexpr int MaxGifFrames = 100000;
inline constexpr int MaxDecodeNum = 10000;
inline constexpr int MaxGifFPS = 50;
inline constexpr double MaxGifSpeed = 100;
inline constexpr int MaxGifLoop = 65535;
inline constexpr int MaxFontSize = 1000;
} // namespace SettingLimits

// The file name of the settings in the per-user data folder.
inline constexpr const char* ConfigFileName = "ConfigSet.vgset";

class TVGConfig : public TBaseConfig {
    VG_PERSISTENT(TVGConfig, TBaseConfig)
public:
    // Every default below; ProjName "VG"; ConfigFile: the per-user data folder followed by
    // "ConfigSet.vgset".
    TVGConfig();
    // The same, with the settings file "ConfigSet.vgset" in `folder` (ending in "/").
    explicit TVGConfig(const QString& folder);

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
    int GifMaxFrame = DefaultGifMaxFrame;
    int GifFPS = DefaultGifFPS;
    // Playback speed factor: 1.0 keeps the video's own speed.
    double GifSpeed = DefaultGifSpeed;
    // Replay count: -1 loops endlessly.
    int GifLoop = DefaultGifLoop;
    // Frames in one decoding group of the frame strip.
    int DecodeNum = DefaultDecodeNum;
    // 0 not yet known (the install-tracking client asks once); 2 the web links go to the partner
    // brand's site; anything else the brand's own pages. Written by the client's thread.
    std::atomic<int> PartnerStatus = 0;
    // The installation these settings were made for.
    QString InstallGUID;
    // Default caption font.
    QString FontName = QStringLiteral("Arial");
    int FontSize = DefaultFontSize;
    int FontColor = 0xFFFFFF;
    TFontStyles FontStyles;
    // Fidelity against size of new projects' GIFs, 1 (smallest) to 100 (most faithful).
    int GifQuality = 90; // the engine's DefaultGifQuality
    // The largest file new projects' GIFs may be, in bytes; 0: no limit.
    qint64 GifMaxSize = DefaultGifMaxSize;
    // What new projects make: a GIF, an animated WebP or an MP4.
    TOutputFormat OutputFormat = TOutputFormat::Gif;

    bool IsPartnerUnknown() const { return PartnerStatus == 0; }
    bool IsPartner() const { return PartnerStatus == 2; }

    static void DeclareProps(TPropDecl<TVGConfig>& p);

    // While loading, also notes the number settings whose text is no number at all.
    void SetPropText(const QString& name, const QString& text, TPropKind kind) override;

protected:
    // Every checked setting that was no number or lies outside its range goes back to its
    // default, with one log line naming it (see SettingLimits).
    void AfterLoad() override;

private:
    QStringList FUnreadNumbers; // names of the number settings of the last load that were none
};

// The one settings object of the process. It is created before the start-up code runs and may be
// replaced once during start-up (a new installation), so nobody keeps a pointer of their own.
extern TVGConfig* Config;
