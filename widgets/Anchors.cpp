#include "widgets/Anchors.h"

#include <QPointer>
#include <QResizeEvent>
#include <QWidget>
#include <vector>

QRect AnchoredRect(const QRect& design, const QSize& designParent, const QSize& parent,
                   int anchors) {
    const int dw = parent.width() - designParent.width();
    const int dh = parent.height() - designParent.height();
    int left = design.x(), width = design.width();
    if ((anchors & akLeft) && (anchors & akRight))
        width += dw;
    else if (anchors & akRight)
        left += dw;
    else if (!(anchors & akLeft))
        left += dw / 2;
    int top = design.y(), height = design.height();
    if ((anchors & akTop) && (anchors & akBottom))
        height += dh;
    else if (anchors & akBottom)
        top += dh;
    else if (!(anchors & akTop))
        top += dh / 2;
    return QRect(left, top, qMax(0, width), qMax(0, height));
}

namespace {

// Lives as a child of the parent and places the anchored children when the parent resizes.
class TAnchorKeeper : public QObject {
public:
    explicit TAnchorKeeper(QWidget* parent) : QObject(parent), FParent(parent) {
        setObjectName(QStringLiteral("__anchorKeeper"));
        parent->installEventFilter(this);
    }

    struct TEntry {
        QPointer<QWidget> Child;
        int Anchors;
        QRect Design;
        QSize DesignParent;
        QRect LastPlaced;
    };

    void Set(QWidget* child, int anchors) {
        for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
            if (it->Child == child) {
                FEntries.erase(it);
                break;
            }
        }
        if (anchors == akLeftTop)
            return;
        FEntries.push_back({child, anchors, child->geometry(), FParent->size(), child->geometry()});
    }

    int Get(const QWidget* child) const {
        for (const TEntry& entry : FEntries)
            if (entry.Child == child)
                return entry.Anchors;
        return akLeftTop;
    }

    // `oldSize` is the parent's size before the change, invalid when unknown.
    void Place(const QSize& oldSize) {
        const QSize size = FParent->size();
        for (TEntry& entry : FEntries) {
            if (!entry.Child)
                continue;
            // A child the program placed itself since: that place is its new design, for the
            // size the parent had then.
            if (entry.Child->geometry() != entry.LastPlaced) {
                entry.Design = entry.Child->geometry();
                entry.DesignParent = oldSize.isValid() ? oldSize : size;
            }
            entry.LastPlaced = AnchoredRect(entry.Design, entry.DesignParent, size, entry.Anchors);
            entry.Child->setGeometry(entry.LastPlaced);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == FParent && event->type() == QEvent::Resize)
            Place(static_cast<QResizeEvent*>(event)->oldSize());
        return false;
    }

private:
    QWidget* FParent;
    std::vector<TEntry> FEntries;
};

TAnchorKeeper* KeeperOf(QWidget* parent, bool create) {
    auto* keeper = parent->findChild<TAnchorKeeper*>(QStringLiteral("__anchorKeeper"),
                                                     Qt::FindDirectChildrenOnly);
    if (!keeper && create)
        keeper = new TAnchorKeeper(parent);
    return keeper;
}

} // namespace

void SetAnchors(QWidget* child, int anchors) {
    if (!child || !child->parentWidget())
        return;
    KeeperOf(child->parentWidget(), true)->Set(child, anchors);
}

int GetAnchors(const QWidget* child) {
    if (!child || !child->parentWidget())
        return akLeftTop;
    auto* keeper = KeeperOf(child->parentWidget(), false);
    return keeper ? keeper->Get(child) : akLeftTop;
}
