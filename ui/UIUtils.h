#pragma once
// Routines the windows share: skin loading, frame picture layout, fonts for the system
// language, double buffering, setting values without change events, enabling groups of
// controls, shortening link labels and the rounded window shape.

#include <QFontMetrics>
#include <QString>
#include <QVariant>

class QButtonGroup;
class QLabel;
class QWidget;
class QRect;
class TSkinButton;
class TSkinImage;

// One skin file's meaning: "<prefix>.<component>[.<state>].<ext>".
struct TSkinFileName {
    bool Matches = false; // the bare name begins with the prefix (letter case counts)
    QString Component;
    QString State; // empty when the name has none
};
TSkinFileName ParseSkinFileName(const QString& fileName, const QString& prefix);

// The skin files of `folder` ("*.jpg" and "*.bmp", letter case of the extension ignored) in
// name order, as full paths.
QStringList ListSkinFiles(const QString& folder);

// Loads the window's skin: every file whose name begins with `prefix` (empty: the window's class
// name) replaces the picture of the component it names: an image's picture, a track bar's thumb,
// or a skin button's picture of the named state. Files naming nothing known, unknown states and
// files that are no pictures are skipped. `folder` empty: the brand's skin folder. Returns how
// many pictures were replaced.
int LoadFormSkin(QWidget* window, const QString& prefix = {}, const QString& folder = {});

// Places the eight frame pictures at the window's edges and corners at the sizes of their
// pictures.
void LayoutFrameImages(QWidget* window, TSkinImage* left, TSkinImage* right, TSkinImage* top,
                       TSkinImage* bottom, TSkinImage* topLeft, TSkinImage* topRight,
                       TSkinImage* bottomLeft, TSkinImage* bottomRight);

// The character set a font takes for a system language (0: leave the font alone).
int FontCharsetForLanguage(int languageId);
// Gives the window and all its controls the font "Arial" with the character set of the system
// language (1033 and 2052 change nothing). The character set is kept as the widget property
// "FontCharset"; Qt picks glyphs for any script itself. `languageId` 0: the system's.
void AdaptFormFont(QWidget* window, int languageId = 0);

// Marks the containers of skin buttons, pictures and paint boxes as double-buffered (property
// "DoubleBuffered"). Qt paints every window through its back buffer, so the mark records the
// design's wish; it returns how many containers were marked.
int DoubleBufferSkinParents(QWidget* window);

// Writes a value into a control without raising its change signals or handlers: line edits and
// masked edits take the text; sliders and track bars the position; combo boxes select the item of
// a number, or of a matching text in a pick-only list, or take the text as edit text; check
// boxes and other checkable buttons the truth value; font boxes the font name; colour swatches
// the colour; spin boxes the number; labels the text.
void SetValueNoChange(QWidget* control, const QVariant& value);
// A radio group: the button with that id is checked.
void SetValueNoChange(QButtonGroup* group, int id);

// Every child control of `container` gets the enabled state (children with children of their
// own first); the container's own state stays.
void EnableChildControls(QWidget* container, bool enabled);

// `text` shortened from the end and followed by `ellipsis` so that it fits `width` pixels; the
// text itself when it fits.
QString CompressStr(const QString& text, int width, const QFontMetrics& metrics,
                    const QString& ellipsis = QStringLiteral("..."));
// When `width` is smaller than the label's width, the label shows its text shortened to `width`.
void FitUrlLabel(QLabel* label, int width);

// Clips the window to a rectangle with rounded corners (corner ellipse `ellipse` pixels).
void MakeRoundRectForm(QWidget* window, int ellipse);

// A frame picture named `name` at `bounds` with its built-in picture (the skin may replace it
// later), anchored as given.
TSkinImage* CreateSkinImage(QWidget* parent, const char* name, const QRect& bounds, bool stretch,
                            int anchors);
// A title-bar button named `name` at `bounds` with its built-in pictures for the up, mouse-over
// and pressed states, anchored as given.
TSkinButton* CreateSkinButton(QWidget* parent, const char* name, const QRect& bounds, int anchors);

// The eight frame pictures of a borderless window designed at `design` size (stretched edges,
// corners at their pictures' size) and its caption icon, anchored to their sides.
struct TFrameImages {
    TSkinImage *Top, *Left, *Right, *Bottom;
    TSkinImage *TopLeft, *TopRight, *BottomLeft, *BottomRight;
    TSkinImage* Ico;
};
TFrameImages CreateFrameImages(QWidget* window, const QSize& design);
// Hands the frame pictures to a window's fields of the same names.
template <class TWindow> void AdoptFrameImages(TWindow& window, const TFrameImages& frame) {
    window.imgTop = frame.Top;
    window.imgLeft = frame.Left;
    window.imgRight = frame.Right;
    window.imgBottom = frame.Bottom;
    window.imgTopLeft = frame.TopLeft;
    window.imgTopRight = frame.TopRight;
    window.imgBottomLeft = frame.BottomLeft;
    window.imgBottomRight = frame.BottomRight;
    window.imgIco = frame.Ico;
}
