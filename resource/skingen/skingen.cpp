// Draws a brand's skin pictures for the dialog frame into "<program folder>/Skin/<brand>/".
//
//   vg_skingen <program folder> <brand folder key>
//
// Brands without own skins get no frame pictures: their windows keep the built-in ones. Every
// brand with an About banner of its own gets that banner.

#include "app/Brand.h"
#include "ui/AboutFrm.h"
#include "ui/SkinArt.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vg_skingen <program folder> <brand folder key>\n");
        return 2;
    }
    const QString brand = QString::fromLocal8Bit(argv[2]);
    const QString folder =
        QString::fromLocal8Bit(argv[1]) + QLatin1String("/Skin/") + brand + QLatin1Char('/');
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "vg_skingen: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    const bool ownSkins = brand == QLatin1String("qopa") || brand == QLatin1String("pelmat");
    const TSkinPalette palette = BrandSkinPalette(brand);
    bool ok = true;
    if (ownSkins) {
        for (const TSkinPart& part : BaseUIFormSkinParts()) {
            const QImage picture = DrawSkinPart(part.Component, part.State, palette);
            const QString fileName = folder + part.FileName(QStringLiteral("TBaseUIForm"));
            // JPEG for the large pictures, at a quality that keeps the gradient clean.
            if (picture.isNull() || !picture.save(fileName, nullptr, 95)) {
                std::fprintf(stderr, "vg_skingen: cannot write %s\n", qPrintable(fileName));
                ok = false;
            }
        }
    }
    for (const TBrandProfile& profile : BrandProfiles()) {
        if (QString::fromUtf8(profile.FolderKey) != brand || !HasOwnAboutBanner(profile))
            continue;
        const QString fileName = folder + QLatin1String(AboutBannerFile);
        if (!DrawAboutBanner(profile).save(fileName, nullptr, 95)) {
            std::fprintf(stderr, "vg_skingen: cannot write %s\n", qPrintable(fileName));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
