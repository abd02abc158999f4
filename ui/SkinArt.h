#pragma once
// The pictures of the dialog frame: drawn at run time for the built-in look, and by the skin
// generator into a brand's skin folder as "TBaseUIForm.<component>[.<state>].<ext>".

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

struct TSkinPalette {
    QColor TitleTop;
    QColor TitleBottom;
    QColor Edge;     // the outer line of the frame
    QColor Glyph;    // title bar button symbols
    QColor CloseHot; // the close button under the mouse
    QColor Accent;   // icon and the OK/Cancel buttons' mouse-over border
    QColor ButtonFace;
};

// The look of windows of profiles without own skins.
TSkinPalette BuiltInSkinPalette();
// A brand's own look by its skin folder name; the built-in one for an unknown name.
TSkinPalette BrandSkinPalette(const QString& folderKey);

struct TSkinPart {
    QString Component;
    QString State; // empty for pictures without states
    QString Extension;
    QString FileName(const QString& prefix) const;
};

// Every picture of the dialog frame.
QList<TSkinPart> BaseUIFormSkinParts();

// One picture of the dialog frame; a null image for an unknown part.
QImage DrawSkinPart(const QString& component, const QString& state, const TSkinPalette& palette);
