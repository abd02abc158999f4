#pragma once
// The kinds of file a conversion makes from the same edit: an animated GIF (the default), an
// animated WebP or an MP4 video (H.264). Names and extensions as users see and type them.

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <optional>

enum class TOutputFormat { Gif = 0, WebP = 1, Mp4 = 2 };

constexpr TOutputFormat OutputFormats[] = {TOutputFormat::Gif, TOutputFormat::WebP,
                                           TOutputFormat::Mp4};

// "GIF", "WebP", "MP4".
inline QString FormatName(TOutputFormat format) {
    switch (format) {
    case TOutputFormat::WebP:
        return QStringLiteral("WebP");
    case TOutputFormat::Mp4:
        return QStringLiteral("MP4");
    case TOutputFormat::Gif:
        break;
    }
    return QStringLiteral("GIF");
}

// "gif", "webp", "mp4": the file name extension, without the dot.
inline QString FormatExtension(TOutputFormat format) {
    return FormatName(format).toLower();
}

// The format named `text` (a name or an extension, in any case), if any.
inline std::optional<TOutputFormat> FormatNamed(const QString& text) {
    for (const TOutputFormat format : OutputFormats)
        if (text.compare(FormatName(format), Qt::CaseInsensitive) == 0)
            return format;
    return std::nullopt;
}

// The format a file name's extension names, if any.
inline std::optional<TOutputFormat> FormatOfFile(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.isEmpty() ? std::nullopt : FormatNamed(suffix);
}

// "gif, webp, mp4": the formats as a user types them.
inline QString FormatList() {
    QStringList names;
    for (const TOutputFormat format : OutputFormats)
        names << FormatExtension(format);
    return names.join(QStringLiteral(", "));
}
