#pragma once
// A horizontal strip of thumbnails read from picture files. Items keep the caller's user data;
// the user selects them with the usual gestures (click, Ctrl+click, Shift+click, arrows,
// Shift+arrows, Home, End, Ctrl+A) and one item has the focus. Thumbnails are decoded on worker
// threads, and only for items that are painted, so strips of hundreds of items stay responsive.
// After each thumbnail is drawn OnDrawPhoto lets the owner decorate the item.
//
// Screen readers hear each item by its description (SetItemDescriber), its caption or its
// number, and its place in the strip.
//
// Events: OnSelectedChange is raised when the user changes the focus or the selection (never
// for changes made through the operations below); OnKeyDown for every key pressed in the strip,
// before the strip handles it.

#include "widgets/WinColor.h"

#include <QImage>
#include <QListView>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class TThumbStrip;
class TThumbModel;

class TPhotoData {
public:
    QString FileName() const { return FFileName; }
    QString Caption() const { return FCaption; }
    // The owner's data; the strip never frees it.
    void* Data = nullptr;

    int Index() const { return FIndex; }
    bool Selected() const;
    void SetSelected(bool selected);
    // Scrolls the strip so that the item shows.
    void MakeVisible();
    // The neighbours in display order, or none at the ends.
    TPhotoData* NextPhoto() const;
    TPhotoData* PrevPhoto() const;

    enum TThumbState { tsNotLoaded, tsLoading, tsLoaded, tsFailed };
    TThumbState ThumbState() const { return FThumbState; }
    const QImage& Thumbnail() const { return FThumb; }

private:
    friend class TThumbStrip;
    friend class TThumbModel;
    TThumbStrip* FOwner = nullptr;
    QString FFileName, FCaption;
    QImage FThumb;
    TThumbState FThumbState = tsNotLoaded;
    quint64 FSerial = 0;
    int FIndex = 0;
};

// The items in display order.
class TPhotoDataList {
public:
    int Count() const;
    TPhotoData* GetItem(int index) const;
    void Clear();

private:
    friend class TThumbStrip;
    explicit TPhotoDataList(TThumbStrip* owner) : FOwner(owner) {}
    TThumbStrip* FOwner;
};

// Where the parts of one item go. A cell holds the thumbnail box (ThumbWidth x ThumbHeight) with
// Padding around it, SpaceH pixels between cells and SpaceV pixels below the box for text.
struct TThumbLayout {
    int ThumbWidth = 128;
    int ThumbHeight = 72;
    int SpaceH = 0;
    int SpaceV = 20;
    int Padding = 4;

    QSize CellSize() const;
    QRect ImageBox(const QRect& cell) const;
    QRect TextRect(const QRect& cell) const;
    // The thumbnail of a picture of `picture` size fitted into `box` with its proportions,
    // centred.
    static QRectF FitImage(const QRect& box, const QSize& picture);
};

class TThumbStrip : public QListView {
    Q_OBJECT
public:
    explicit TThumbStrip(QWidget* parent = nullptr);
    ~TThumbStrip() override;

    // Settings.
    void SetThumbSize(int width, int height);
    int ThumbWidth() const { return FLayout.ThumbWidth; }
    int ThumbHeight() const { return FLayout.ThumbHeight; }
    void SetSpacing(int spaceH, int spaceV);
    const TThumbLayout& Layout() const { return FLayout; }
    void SetMultiSelect(bool multi);
    bool MultiSelect() const { return FMultiSelect; }
    void SetShowCaption(bool show);
    void SetColor(TColor color);
    TColor GetColor() const { return FColor; }

    // Items.
    TPhotoData* AddPhoto(const QString& fileName, const QString& caption = {});
    TPhotoData* InsertPhoto(const QString& fileName, int index, const QString& caption = {});
    void Clear();
    TPhotoDataList& Items() { return FList; }
    int Count() const { return int(FItems.size()); }
    TPhotoData* Item(int index) const;

    // Selection and focus.
    void ClearSelected();
    int GetSelCount() const;
    TPhotoData* GetSelPhoto(int index) const;
    TPhotoData* GetFocusedPhoto() const;
    void SetFocusedPhoto(TPhotoData* item);

    // Layout and scrolling.
    void UpdatePhotos();
    // Draws every item again (after the owner's decorations changed); screen readers are told
    // that the items' descriptions may have changed with them.
    void Repaint();
    // Asks for the item's thumbnail again when it is next drawn (its picture came back).
    void ReloadThumbnail(TPhotoData* item);
    // The items whose cells lie in the visible part of the strip.
    std::vector<TPhotoData*> VisibleItems() const;
    // 0 scrolls to the beginning; any value past the end (2147483647) to the end.
    void SetHorzScrollPos(int position);
    int HorzScrollPos() const;
    int HorzScrollMax() const;
    // The item's cell in viewport coordinates (empty for none).
    QRect ItemRect(const TPhotoData* item) const;

    // Thumbnails asked for and not yet decoded.
    int PendingThumbnails() const { return FPending; }

    // Where thumbnails get their pictures, given an item's file name; called on worker threads,
    // so it must be thread-safe. None: the file is read.
    using TPictureSource = std::function<QImage(const QString& fileName)>;
    void SetPictureSource(TPictureSource source) { FPictureSource = std::move(source); }

    std::function<void()> OnSelectedChange;
    // An item's picture could not be had (its source gave none); the owner may bring it back and
    // call ReloadThumbnail. Without a handler the item shows as failed.
    std::function<void(TPhotoData* item)> OnPictureMissing;
    // The strip scrolled: other items are now in view.
    std::function<void()> OnScrolled;
    std::function<void(TPhotoData* item, const QRectF& imageRect, const QRect& textRect,
                       QPainter& painter)>
        OnDrawPhoto;
    std::function<void(int key, Qt::KeyboardModifiers modifiers)> OnKeyDown;

    // Says what the item at an index is, for screen readers (for a video frame: its time and
    // whether it is left out or in the clip); asked each time a reader wants it. An empty text
    // or no describer: the item's caption, or "Frame N" without one.
    using TItemDescriber = std::function<QString(int index)>;
    void SetItemDescriber(TItemDescriber describer);
    // What screen readers call the item at `index`, and what they add: "Frame N of M".
    QString AccessibleItemName(int index) const;
    QString AccessibleItemDescription(int index) const;

    // Draws one item into `cell` (the delegate calls it; tests may too).
    void PaintItem(QPainter& painter, const QRect& cell, int row, bool selected, bool focused);

signals:
    void SelectedChange();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    friend class TPhotoData;
    friend class TPhotoDataList;
    friend class TThumbModel;
    QModelIndex IndexOf(const TPhotoData* item) const;
    void Renumber(int from);
    void RequestThumbnail(TPhotoData* item);
    void ThumbnailDone(quint64 serial, const QImage& thumb);
    template <typename F> void UserInput(F&& base);

    TThumbLayout FLayout;
    TPictureSource FPictureSource;
    TItemDescriber FDescriber;
    bool FMultiSelect = true;
    bool FShowCaption = true;
    TColor FColor = 0xFFFFFF;
    std::vector<std::unique_ptr<TPhotoData>> FItems;
    std::unordered_map<quint64, TPhotoData*> FBySerial;
    quint64 FNextSerial = 1;
    TPhotoDataList FList;
    TThumbModel* FModel;
    QThreadPool FPool;
    int FPending = 0;
    int FInUserInput = 0;
    bool FUserChanged = false;
};
