#pragma once
// The plain controls of the widget set: pictures, paint boxes, panels with a border colour and
// width, flat group boxes, separators, link labels and a track bar with a custom thumb picture.

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QSlider>
#include <QWidget>
#include <functional>

class QPainter;

// A picture control: draws its picture stretched to its size, or at its own size (centred or at
// the top-left). With AutoSize on it takes the size of every picture it is given.
class TSkinImage : public QWidget {
    Q_OBJECT
public:
    explicit TSkinImage(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return FPicture; }
    // False when the file is no picture; the picture held stays.
    bool LoadFromFile(const QString& fileName);
    void SetStretch(bool stretch) {
        FStretch = stretch;
        update();
    }
    bool Stretch() const { return FStretch; }
    void SetCenter(bool center) {
        FCenter = center;
        update();
    }
    void SetAutoSize(bool autoSize);
    bool AutoSize() const { return FAutoSize; }

    // Raised on a double-click with the left button.
    std::function<void()> OnDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage FPicture;
    bool FStretch = false, FCenter = false, FAutoSize = false;
};

// A control that leaves its painting to a handler.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr) : QWidget(parent) {}
    std::function<void(QPainter&)> OnPaint;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A panel filled with its colour and framed with a border of a colour and width (0: none),
// optionally with rounded corners. A paint handler draws over the face.
class TFlatPanel : public QWidget {
    Q_OBJECT
public:
    explicit TFlatPanel(QWidget* parent = nullptr);

    void SetColor(const QColor& color) {
        FColor = color;
        update();
    }
    QColor Color() const { return FColor; }
    void SetBorderColor(const QColor& color) {
        FBorderColor = color;
        update();
    }
    QColor BorderColor() const { return FBorderColor; }
    void SetBorderWidth(int width) {
        FBorderWidth = qMax(0, width);
        update();
    }
    int BorderWidth() const { return FBorderWidth; }
    void SetCornerRadius(int radius) {
        FRadius = qMax(0, radius);
        update();
    }

    std::function<void(QPainter&)> OnPaint;
    std::function<void()> OnResize;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QColor FColor;
    QColor FBorderColor;
    int FBorderWidth = 0;
    int FRadius = 0;
};

// A flat group box: a rounded frame in one colour with an optional caption on its top edge and
// an optional face colour.
class TFlatGroupBox : public QWidget {
    Q_OBJECT
public:
    explicit TFlatGroupBox(const QString& caption = {}, QWidget* parent = nullptr);

    void SetCaption(const QString& caption) {
        FCaption = caption;
        update();
    }
    QString Caption() const { return FCaption; }
    void SetFrameColor(const QColor& color) {
        FFrameColor = color;
        update();
    }
    QColor FrameColor() const { return FFrameColor; }
    void SetFaceColor(const QColor& color) {
        FFaceColor = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString FCaption;
    QColor FFrameColor;
    QColor FFaceColor;
};

// A one-pixel line across its width (horizontal) or height (vertical).
class TSeparator : public QWidget {
    Q_OBJECT
public:
    explicit TSeparator(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);
    void SetColor(const QColor& color) {
        FColor = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation FOrientation;
    QColor FColor;
};

// A label that shows a link in the highlight colour (also after a visit) and opens its address
// when clicked. When its focus policy lets it take the focus, Return, Enter and Space open it
// too and a focus outline shows after the focus came by the keyboard; screen readers know it as
// a link that can be pressed.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent = nullptr);

    void SetUrl(const QString& url) { FUrl = url; }
    QString Url() const { return FUrl; }
    // Follows the link as a click does: raises clicked, then linkActivated with the address
    // (the window that holds the link opens it).
    void Activate();

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString FUrl;
};

// A horizontal track bar; with a thumb picture the thumb is that picture. A ring round the thumb
// shows when the focus came to it by the keyboard (if its focus policy lets it take the focus).
class TTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TTrackBar(QWidget* parent = nullptr);

    void SetThumbPicture(const QImage& picture);
    const QImage& ThumbPicture() const { return FThumb; }
    // False when the file is no picture.
    bool LoadThumbPicture(const QString& fileName);
    // The rectangle the thumb occupies at the current position.
    QRect ThumbRect() const;
    // The position a click at x would move to.
    int PositionAt(int x) const;
    // A stretch of the groove tinted to mark a range, given as fractions of the whole (0 to 1);
    // an empty or inverted range marks nothing.
    void SetMarkedRange(double from, double to);
    bool HasMarkedRange() const { return FMarkTo > FMarkFrom; }
    // The marked stretch in pixels (empty when nothing is marked).
    QRect MarkedRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage FThumb;
    int FGrabOffset = 0; // where on the thumb the mouse took it, from its centre
    double FMarkFrom = 0, FMarkTo = 0;
};
