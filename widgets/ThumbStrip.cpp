#include "widgets/ThumbStrip.h"

#include "widgets/FlatStyle.h"

#include <QAbstractListModel>
#include <QAccessible>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

// Layout

QSize TThumbLayout::CellSize() const {
    return QSize(ThumbWidth + 2 * Padding + SpaceH, ThumbHeight + 2 * Padding + SpaceV);
}

QRect TThumbLayout::ImageBox(const QRect& cell) const {
    return QRect(cell.x() + SpaceH / 2 + Padding, cell.y() + Padding, ThumbWidth, ThumbHeight);
}

QRect TThumbLayout::TextRect(const QRect& cell) const {
    const QRect box = ImageBox(cell);
    const int top = box.y() + box.height() + 2;
    return QRect(box.x(), top, ThumbWidth, qMax(0, cell.y() + cell.height() - top));
}

QRectF TThumbLayout::FitImage(const QRect& box, const QSize& picture) {
    if (picture.isEmpty() || box.isEmpty())
        return QRectF(box);
    const double scale =
        std::min(double(box.width()) / picture.width(), double(box.height()) / picture.height());
    const double w = picture.width() * scale, h = picture.height() * scale;
    return QRectF(box.x() + (box.width() - w) / 2, box.y() + (box.height() - h) / 2, w, h);
}

// Model and delegate

class TThumbModel : public QAbstractListModel {
public:
    explicit TThumbModel(TThumbStrip* strip) : QAbstractListModel(strip), FStrip(strip) {}
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : FStrip->Count();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ToolTipRole || !index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return FStrip->Item(index.row())->Caption();
        if (role == Qt::AccessibleTextRole)
            return FStrip->AccessibleItemName(index.row());
        if (role == Qt::AccessibleDescriptionRole)
            return FStrip->AccessibleItemDescription(index.row());
        return {};
    }
    // The accessible texts of every item may have changed: told only while a screen reader
    // listens, since a change of data lays the strip out again.
    void DescriptionsChanged() {
        if (QAccessible::isActive() && rowCount({}) > 0)
            emit dataChanged(index(0, 0), index(rowCount({}) - 1, 0),
                             {Qt::AccessibleTextRole, Qt::AccessibleDescriptionRole});
    }
    void BeginInsert(int row) { beginInsertRows({}, row, row); }
    void EndInsert() { endInsertRows(); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

private:
    TThumbStrip* FStrip;
};

namespace {

class TThumbDelegate : public QStyledItemDelegate {
public:
    explicit TThumbDelegate(TThumbStrip* strip) : QStyledItemDelegate(strip), FStrip(strip) {}
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return FStrip->Layout().CellSize();
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        FStrip->PaintItem(*painter, option.rect, index.row(), option.state & QStyle::State_Selected,
                          index == FStrip->currentIndex());
        painter->restore();
    }

private:
    TThumbStrip* FStrip;
};

QImage ThumbnailOf(const QImage& image, const QSize& box) {
    if (image.isNull())
        return {};
    // A big picture is first taken down to four times the box by sampling, which costs little;
    // the smooth scaling then works on a small picture.
    QImage source = image;
    if (image.width() > 4 * box.width() && image.height() > 4 * box.height())
        source = image.scaled(box * 4, Qt::KeepAspectRatio, Qt::FastTransformation);
    return source.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage DecodeThumbnail(const QString& fileName, const QSize& box) {
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && reader.supportsOption(QImageIOHandler::ScaledSize) &&
        (full.width() > 2 * box.width() || full.height() > 2 * box.height()))
        reader.setScaledSize(full.scaled(box * 2, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    return ThumbnailOf(image, box);
}

} // namespace

// TPhotoData

bool TPhotoData::Selected() const {
    return FOwner->selectionModel()->isSelected(FOwner->IndexOf(this));
}

void TPhotoData::SetSelected(bool selected) {
    FOwner->selectionModel()->select(FOwner->IndexOf(this), selected
                                                                ? QItemSelectionModel::Select
                                                                : QItemSelectionModel::Deselect);
}

void TPhotoData::MakeVisible() {
    FOwner->UpdatePhotos();
    FOwner->scrollTo(FOwner->IndexOf(this));
}

TPhotoData* TPhotoData::NextPhoto() const {
    return FOwner->Item(FIndex + 1);
}

TPhotoData* TPhotoData::PrevPhoto() const {
    return FOwner->Item(FIndex - 1);
}

// TPhotoDataList

int TPhotoDataList::Count() const {
    return FOwner->Count();
}

TPhotoData* TPhotoDataList::GetItem(int index) const {
    return FOwner->Item(index);
}

void TPhotoDataList::Clear() {
    FOwner->Clear();
}

// TThumbStrip

TThumbStrip::TThumbStrip(QWidget* parent)
    : QListView(parent), FList(this), FModel(new TThumbModel(this)) {
    setModel(FModel);
    setItemDelegate(new TThumbDelegate(this));
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    setSpacing(0);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setDragEnabled(false);
    setFrameShape(QFrame::NoFrame);
    horizontalScrollBar()->setSingleStep(FLayout.CellSize().width() / 4);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (OnScrolled)
            OnScrolled();
    });
    FPool.setMaxThreadCount(2);
    SetColor(FColor);
    auto noteChange = [this] {
        if (FInUserInput > 0)
            FUserChanged = true;
    };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, noteChange);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, noteChange);
}

TThumbStrip::~TThumbStrip() {
    // No decode may outlive the strip it reports to.
    FPool.clear();
    FPool.waitForDone();
}

void TThumbStrip::SetThumbSize(int width, int height) {
    FLayout.ThumbWidth = qMax(1, width);
    FLayout.ThumbHeight = qMax(1, height);
    for (auto& item : FItems) {
        if (item->FThumbState != TPhotoData::tsLoading) {
            item->FThumbState = TPhotoData::tsNotLoaded;
            item->FThumb = QImage();
        }
    }
    UpdatePhotos();
}

void TThumbStrip::SetSpacing(int spaceH, int spaceV) {
    FLayout.SpaceH = qMax(0, spaceH);
    FLayout.SpaceV = qMax(0, spaceV);
    UpdatePhotos();
}

void TThumbStrip::SetMultiSelect(bool multi) {
    FMultiSelect = multi;
    setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                           : QAbstractItemView::SingleSelection);
}

void TThumbStrip::SetShowCaption(bool show) {
    FShowCaption = show;
    viewport()->update();
}

void TThumbStrip::SetColor(TColor color) {
    FColor = color & 0xFFFFFF;
    QPalette p = palette();
    p.setColor(QPalette::Base, WinColorToQColor(FColor));
    p.setColor(QPalette::Window, WinColorToQColor(FColor));
    setPalette(p);
    viewport()->setAutoFillBackground(true);
    viewport()->update();
}

TPhotoData* TThumbStrip::AddPhoto(const QString& fileName, const QString& caption) {
    return InsertPhoto(fileName, Count(), caption);
}

TPhotoData* TThumbStrip::InsertPhoto(const QString& fileName, int index, const QString& caption) {
    index = qBound(0, index, Count());
    auto item = std::make_unique<TPhotoData>();
    item->FOwner = this;
    item->FFileName = fileName;
    item->FCaption = caption;
    item->FSerial = FNextSerial++;
    TPhotoData* raw = item.get();
    FModel->BeginInsert(index);
    FItems.insert(FItems.begin() + index, std::move(item));
    FBySerial.emplace(raw->FSerial, raw);
    Renumber(index);
    FModel->EndInsert();
    return raw;
}

void TThumbStrip::Clear() {
    FModel->BeginReset();
    FItems.clear();
    FBySerial.clear();
    FModel->EndReset();
}

TPhotoData* TThumbStrip::Item(int index) const {
    return index >= 0 && index < Count() ? FItems[size_t(index)].get() : nullptr;
}

void TThumbStrip::Renumber(int from) {
    for (int i = from; i < Count(); ++i)
        FItems[size_t(i)]->FIndex = i;
}

QModelIndex TThumbStrip::IndexOf(const TPhotoData* item) const {
    if (!item || item->FOwner != this || item->FIndex >= Count() ||
        FItems[size_t(item->FIndex)].get() != item)
        return {};
    return FModel->index(item->FIndex, 0);
}

void TThumbStrip::ClearSelected() {
    selectionModel()->clearSelection();
}

int TThumbStrip::GetSelCount() const {
    return int(selectionModel()->selectedIndexes().size());
}

TPhotoData* TThumbStrip::GetSelPhoto(int index) const {
    QModelIndexList selected = selectionModel()->selectedIndexes();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    return index >= 0 && index < selected.size() ? Item(selected[index].row()) : nullptr;
}

TPhotoData* TThumbStrip::GetFocusedPhoto() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? Item(current.row()) : nullptr;
}

void TThumbStrip::SetFocusedPhoto(TPhotoData* item) {
    selectionModel()->setCurrentIndex(IndexOf(item), QItemSelectionModel::NoUpdate);
}

void TThumbStrip::Repaint() {
    FModel->DescriptionsChanged();
    viewport()->update();
}

void TThumbStrip::SetItemDescriber(TItemDescriber describer) {
    FDescriber = std::move(describer);
    FModel->DescriptionsChanged();
}

QString TThumbStrip::AccessibleItemName(int index) const {
    const TPhotoData* item = Item(index);
    if (!item)
        return {};
    if (FDescriber)
        if (QString described = FDescriber(index); !described.isEmpty())
            return described;
    return item->Caption().isEmpty() ? QStringLiteral("Frame %1").arg(index + 1) : item->Caption();
}

QString TThumbStrip::AccessibleItemDescription(int index) const {
    if (!Item(index))
        return {};
    return QStringLiteral("Frame %1 of %2").arg(index + 1).arg(Count());
}

void TThumbStrip::UpdatePhotos() {
    executeDelayedItemsLayout();
    viewport()->update();
}

void TThumbStrip::SetHorzScrollPos(int position) {
    UpdatePhotos();
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(qBound(bar->minimum(), position, bar->maximum()));
}

int TThumbStrip::HorzScrollPos() const {
    return horizontalScrollBar()->value();
}

int TThumbStrip::HorzScrollMax() const {
    return horizontalScrollBar()->maximum();
}

QRect TThumbStrip::ItemRect(const TPhotoData* item) const {
    const QModelIndex index = IndexOf(item);
    return index.isValid() ? visualRect(index) : QRect();
}

void TThumbStrip::RequestThumbnail(TPhotoData* item) {
    item->FThumbState = TPhotoData::tsLoading;
    ++FPending;
    const quint64 serial = item->FSerial;
    const QString fileName = item->FFileName;
    const QSize box(FLayout.ThumbWidth, FLayout.ThumbHeight);
    FPool.start([this, serial, fileName, box, source = FPictureSource] {
        const QImage thumb =
            source ? ThumbnailOf(source(fileName), box) : DecodeThumbnail(fileName, box);
        QMetaObject::invokeMethod(
            this, [this, serial, thumb] { ThumbnailDone(serial, thumb); }, Qt::QueuedConnection);
    });
}

void TThumbStrip::ThumbnailDone(quint64 serial, const QImage& thumb) {
    --FPending;
    const auto found = FBySerial.find(serial);
    if (found == FBySerial.end())
        return; // the item went away meanwhile
    TPhotoData* item = found->second;
    item->FThumb = thumb;
    item->FThumbState = thumb.isNull() ? TPhotoData::tsFailed : TPhotoData::tsLoaded;
    viewport()->update(visualRect(IndexOf(item)));
    if (thumb.isNull() && OnPictureMissing)
        OnPictureMissing(item);
}

void TThumbStrip::ReloadThumbnail(TPhotoData* item) {
    if (!item || item->FOwner != this || item->FThumbState == TPhotoData::tsLoading)
        return;
    item->FThumbState = TPhotoData::tsNotLoaded;
    item->FThumb = QImage();
    viewport()->update(visualRect(IndexOf(item)));
}

std::vector<TPhotoData*> TThumbStrip::VisibleItems() const {
    std::vector<TPhotoData*> items;
    const QRect view = viewport()->rect();
    for (const auto& item : FItems)
        if (ItemRect(item.get()).intersects(view))
            items.push_back(item.get());
    return items;
}

void TThumbStrip::PaintItem(QPainter& painter, const QRect& cell, int row, bool selected,
                            bool focused) {
    TPhotoData* item = Item(row);
    if (!item)
        return;
    const TFlatColors& c = FlatColors();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(cell).adjusted(FLayout.SpaceH / 2.0 + 1.5, 1.5,
                                               -(FLayout.SpaceH - FLayout.SpaceH / 2) - 1.5, -1.5);
    if (selected) {
        painter.setPen(QPen(c.Accent, 1));
        painter.setBrush(QColor(c.Accent.red(), c.Accent.green(), c.Accent.blue(), 40));
        painter.drawRoundedRect(frame, 4, 4);
    } else if (focused) {
        painter.setPen(QPen(c.AccentSoft, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame, 4, 4);
    }
    if (focused && selected && hasFocus()) {
        painter.setPen(QPen(c.Accent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QRect box = FLayout.ImageBox(cell);
    QRectF imageRect;
    if (item->FThumbState == TPhotoData::tsLoaded) {
        imageRect = TThumbLayout::FitImage(box, item->FThumb.size());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(imageRect, item->FThumb);
    } else {
        if (item->FThumbState == TPhotoData::tsNotLoaded)
            RequestThumbnail(item);
        imageRect = QRectF(box);
        painter.fillRect(box, c.Face.darker(104));
        if (item->FThumbState == TPhotoData::tsFailed) {
            painter.setPen(QPen(c.Border, 1));
            painter.drawLine(box.topLeft(), box.bottomRight());
            painter.drawLine(box.topRight(), box.bottomLeft());
        }
    }
    const QRect textRect = FLayout.TextRect(cell);
    if (FShowCaption && !item->FCaption.isEmpty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.setFont(font());
        painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                         item->FCaption);
    }
    if (OnDrawPhoto) {
        painter.save();
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::Text));
        OnDrawPhoto(item, imageRect, textRect, painter);
        painter.restore();
    }
}

template <typename F> void TThumbStrip::UserInput(F&& base) {
    const bool outer = FInUserInput == 0;
    if (outer)
        FUserChanged = false;
    ++FInUserInput;
    base();
    --FInUserInput;
    if (outer && FUserChanged) {
        FUserChanged = false;
        emit SelectedChange();
        if (OnSelectedChange)
            OnSelectedChange();
    }
}

void TThumbStrip::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown)
        OnKeyDown(event->key(), event->modifiers());
    UserInput([&] { QListView::keyPressEvent(event); });
}

void TThumbStrip::mousePressEvent(QMouseEvent* event) {
    UserInput([&] { QListView::mousePressEvent(event); });
}

void TThumbStrip::mouseMoveEvent(QMouseEvent* event) {
    UserInput([&] { QListView::mouseMoveEvent(event); });
}

void TThumbStrip::mouseReleaseEvent(QMouseEvent* event) {
    UserInput([&] { QListView::mouseReleaseEvent(event); });
}
