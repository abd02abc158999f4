#pragma once
// Pictures that several windows share: the frame strip's in-clip and deleted markers.

#include <QImage>
#include <QString>
#include <optional>

class TUIApp {
public:
    // Loads nothing; `resourcePath` is the program's "resource/" folder (empty: beside the
    // executable).
    explicit TUIApp(const QString& resourcePath = {});

    // Read from disk on the first call only; a missing file gives an empty picture, and the
    // frame strip then draws no marker.
    const QImage& GetSelectFlag();
    const QImage& GetDeleteFlag();

private:
    const QImage& Load(std::optional<QImage>& slot, const char* fileName);
    QString FResourcePath;
    std::optional<QImage> FSelectFlag;
    std::optional<QImage> FDeleteFlag;
};

extern TUIApp* UIApp;
