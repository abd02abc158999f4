#include "project/VGConfig.h"

#include "app/Brand.h"
#include "common/Log.h"
#include "engine/ConversionPlan.h"
#include "engine/Video2Gif.h"

const TEnumInfo SizeStyleEnum{QStringLiteral("TSizeStyle"),
                              {QStringLiteral("ssOriginal"), QStringLiteral("ssHalf"),
                               QStringLiteral("ssQuarter"), QStringLiteral("ssCustom")}};

const TEnumInfo OutputFormatEnum{
    QStringLiteral("TOutputFormat"),
    {QStringLiteral("ofGif"), QStringLiteral("ofWebP"), QStringLiteral("ofMp4")}};

const TEnumInfo FontStyleEnum{QStringLiteral("TFontStyle"),
                              {QStringLiteral("fsBold"), QStringLiteral("fsItalic"),
                               QStringLiteral("fsUnderline"), QStringLiteral("fsStrikeOut")}};

TVGConfig* Config = nullptr;

TVGConfig::TVGConfig() : TVGConfig(CurrentDataPath()) {}

TVGConfig::TVGConfig(const QString& folder) {
    ProjName = QStringLiteral("VG");
    ConfigFile = folder + QLatin1String(ConfigFileName);
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
        .Int64("GifMaxSize", &TVGConfig::GifMaxSize)
        .Enumeration<TOutputFormat>("OutputFormat", OutputFormatEnum, &TVGConfig::OutputFormat);
}

void TVGConfig::SetPropText(const QString& name, const QString& text, TPropKind kind) {
    int integer = 0;
    qint64 integer64 = 0;
    double number = 0;
    const bool unread = (kind == TPropKind::Integer && !PropText::ToInt32(text, integer)) ||
                        (kind == TPropKind::Int64 && !PropText::ToInt64(text, integer64)) ||
                        (kind == TPropKind::Float && !PropText::ToFloat(text, number));
    if (Loading && unread && !FUnreadNumbers.contains(name))
        FUnreadNumbers.append(name);
    else if (!unread)
        FUnreadNumbers.removeAll(name); // a later element of the same name wins
    TBaseConfig::SetPropText(name, text, kind);
}

namespace {

template <class T> bool InRange(T value, T lowest, T highest) {
    return value >= lowest && value <= highest;
}

// Puts a setting back to its default when the file held no number for it or an unusable one,
// with one log line naming it.
template <class T>
void CheckSetting(const QStringList& unread, const char* name, T& value, bool usable, T fallback) {
    const bool noNumber = unread.contains(QLatin1String(name));
    if (!noNumber && usable)
        return;
    MsgOut(QStringLiteral("settings: %1 %2 cannot be used, the default %3 instead")
               .arg(QLatin1String(name),
                    noNumber ? QStringLiteral("(no number)") : QString::number(value),
                    QString::number(fallback)));
    value = fallback;
}

} // namespace

void TVGConfig::AfterLoad() {
    using namespace SettingLimits;
    const QStringList& u = FUnreadNumbers;
    CheckSetting(u, "GifMaxFrame", GifMaxFrame, InRange(GifMaxFrame, 1, MaxGifFrames),
                 DefaultGifMaxFrame);
    CheckSetting(u, "GifFPS", GifFPS, InRange(GifFPS, 1, MaxGifFPS), DefaultGifFPS);
    CheckSetting(u, "GifSpeed", GifSpeed, GifSpeed > 0 && GifSpeed <= MaxGifSpeed, DefaultGifSpeed);
    CheckSetting(u, "GifLoop", GifLoop, InRange(GifLoop, -1, MaxGifLoop), DefaultGifLoop);
    CheckSetting(u, "DecodeNum", DecodeNum, InRange(DecodeNum, 1, MaxDecodeNum), DefaultDecodeNum);
    CheckSetting(u, "FontSize", FontSize, InRange(FontSize, 1, MaxFontSize), DefaultFontSize);
    CheckSetting(u, "GifQuality", GifQuality, InRange(GifQuality, 1, 100), DefaultGifQuality);
    CheckSetting(u, "GifMaxSize", GifMaxSize, GifMaxSize == 0 || GifMaxSize >= MinGifBytes,
                 DefaultGifMaxSize);
    FUnreadNumbers.clear();
}
