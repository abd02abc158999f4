#pragma once
// A picture control that plays a GIF: shows the player's current frame stretched to the
// control, over whatever lies behind it where the GIF is transparent.

#include "gifimage/GIFPlayer.h"

#include <QWidget>

class TGIFView : public QWidget {
    Q_OBJECT
public:
    explicit TGIFView(QWidget* parent = nullptr);

    // Takes the picture and starts playing it.
    void SetImage(std::shared_ptr<const TGIFImage> image);
    TGIFPlayer* Player() { return &FPlayer; }
    const TGIFPlayer* Player() const { return &FPlayer; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TGIFPlayer FPlayer;
};
