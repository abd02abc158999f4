#pragma once
// Plays an animated WebP or an MP4 the way the preview window plays a GIF: from its start, each
// picture for its own time, over again as often as the file says (an MP4 says nothing: always),
// scaled to the widget. Pictures are read as they are shown, never all at once: a WebP through
// Qt's image reader (its WebP plugin), an MP4 through our video decoder.

#include "engine/OutputFormat.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>

class QImageReader;
class TCustomDecoder;

class TVideoPreview : public QWidget {
    Q_OBJECT
public:
    explicit TVideoPreview(QWidget* parent = nullptr);
    ~TVideoPreview() override;

    // Opens `fileName` as `format` (WebP or MP4) and starts playing; false, with `error` for the
    // user, when it cannot be shown.
    bool Open(const QString& fileName, TOutputFormat format, QString& error);
    // The size of its pictures; empty before a file is open.
    QSize PictureSize() const { return FPicture.size(); }
    // Pictures shown since the file was opened (the first one included).
    int PicturesShown() const { return FShown; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Reads the next picture into FPicture and how long it shows; false at the file's end.
    bool ReadNext(int& delayMs);
    bool Rewind();
    void ShowNext();

    TOutputFormat FFormat = TOutputFormat::WebP;
    QString FFileName;
    std::unique_ptr<QImageReader> FReader;
    std::unique_ptr<TCustomDecoder> FDecoder;
    QImage FAhead; // the MP4 picture to show next, and its time
    int64_t FAheadPts = 0;
    int64_t FFirstPts = 0;
    int FLastDelayMs = 100;
    QImage FPicture;
    QTimer FTimer;
    int FShown = 0;
    int FPlaysLeft = 0; // 0: endlessly
};
