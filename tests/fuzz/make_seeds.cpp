// Writes the seed files of the fuzz targets that are made by the program's own code: settings
// files as the program saves them, a language file in UTF-16, and small GIFs of the test GIF
// maker. Run by hand when the formats change: make_fuzz_seeds <corpus folder>.

#include "common/XmlBuffer.h"
#include "persistence/BaseProj.h"
#include "project/VGConfig.h"
#include "tests/gifimage/GifMaker.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cstdio>

namespace {

bool Write(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool WriteSettings(const QString& folder) {
    TVGConfig defaults(folder);
    defaults.ConfigFile = folder + QStringLiteral("default.vgset");
    TVGConfig changed(folder);
    changed.ConfigFile = folder + QStringLiteral("changed.vgset");
    changed.SizeStyle = ssCustom;
    changed.GifSpeed = 1.5;
    changed.GifLoop = 3;
    changed.FontName = QStringLiteral("Liberation Sans\r\n  ");
    changed.FontStyles = TFontStyles{fsBold, fsUnderline};
    changed.GifMaxSize = 8000000;
    changed.InstallGUID = QStringLiteral("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
    return defaults.Save(true) && changed.Save(true);
}

bool WriteLanguage(const QString& folder, const QString& english) {
    QFile file(english);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("encoding=\"UTF-8\""), QStringLiteral("encoding=\"UTF-16\""));
    QStringEncoder toUtf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    return Write(folder + QStringLiteral("English-utf16.xml"), toUtf16.encode(text));
}

// Frames of every disposal, transparency, a local palette, interlacing and a frame partly off
// the screen.
TTestGif Animation() {
    TTestGif gif;
    gif.Width = 12;
    gif.Height = 10;
    gif.Palette = FourColours();
    gif.Loop = 0;
    gif.Frames.push_back(FilledFrame(QRect(0, 0, 12, 10), 0, 1));
    gif.Frames.push_back(FilledFrame(QRect(2, 2, 4, 4), 1, 2));
    TTestFrame restore = FilledFrame(QRect(5, 3, 6, 5), 2, 3);
    restore.Transparent = 2;
    restore.Indices[0] = 3;
    gif.Frames.push_back(restore);
    TTestFrame local = FilledFrame(QRect(8, 6, 8, 8), 1, 0);
    local.LocalPalette = {qRgb(10, 20, 30), qRgb(200, 100, 0)};
    local.Interlaced = true;
    gif.Frames.push_back(local);
    return gif;
}

bool WriteGifs(const QString& folder) {
    TTestGif still;
    still.Width = 3;
    still.Height = 2;
    still.Palette = FourColours();
    still.Frames.push_back(FilledFrame(QRect(0, 0, 3, 2), 3));
    return Write(folder + QStringLiteral("still.gif"), WriteTestGif(still)) &&
           Write(folder + QStringLiteral("animation.gif"), WriteTestGif(Animation()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <corpus folder> <English.xml>\n");
        return 2;
    }
    const QString corpus = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    for (const char* target : {"settings", "language", "gifreader"})
        QDir().mkpath(corpus + QLatin1String(target));
    const bool written =
        WriteSettings(corpus + QStringLiteral("settings/")) &&
        WriteLanguage(corpus + QStringLiteral("language/"), QString::fromLocal8Bit(argv[2])) &&
        WriteGifs(corpus + QStringLiteral("gifreader/"));
    return written ? 0 : 1;
}
