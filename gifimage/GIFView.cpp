#include "gifimage/GIFView.h"

#include <QPainter>

TGIFView::TGIFView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&FPlayer, &TGIFPlayer::FrameChanged, this, qOverload<>(&QWidget::update));
}

void TGIFView::SetImage(std::shared_ptr<const TGIFImage> image) {
    FPlayer.SetImage(std::move(image));
    update();
}

void TGIFView::paintEvent(QPaintEvent*) {
    const QImage frame = FPlayer.CurrentFrame();
    if (frame.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, size() != frame.size());
    painter.drawImage(rect(), frame);
}
