#pragma once
// What the end-to-end test reads from screenshots of the program, and where it keeps them.

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>

// The frame index a test video's picture carries, read from `area` of a screenshot (the picture
// shown there at any size); -1 when no readable pattern is there.
int ShownFrameIndex(const QImage& shot, const QRect& area);

// The smallest rectangle holding every pixel of `area` that is not `background`: where a picture
// lies on a plain panel. Empty when the area is all background.
QRect PictureBounds(const QImage& shot, const QRect& area, QRgb background);

// The pixels of `area` that are white as a white caption is drawn (every channel 245 or more):
// brighter than anything of a test video's picture, whose light blocks show at about 231.
int WhiteTextPixels(const QImage& shot, const QRect& area);

// The screen x of the centre of the track bar's thumb: the columns of `trackBar` with ink above
// or below the groove (which runs through the middle rows); nullopt when there is none.
std::optional<int> ThumbCentre(const QImage& shot, const QRect& trackBar);

// What the video panel shows, told by the time stamp box in its top-left corner: the player
// draws it white, the still view light grey; anything else (the start screen) is neither.
enum class TShownView { Neither, Player, Still };
TShownView ShownView(const QImage& shot, const QRect& panel);
const char* ViewName(TShownView view);

// Screenshots saved as PNG files in one folder, their paths printed as they are written.
class TShotLog {
public:
    explicit TShotLog(const QString& folder) : FFolder(folder) {}
    QString Save(const QImage& shot, const QString& name);
    const QStringList& Paths() const { return FPaths; }

private:
    QString FFolder;
    QStringList FPaths;
};
