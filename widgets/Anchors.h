#pragma once
// Anchors: a child keeps its distances to the sides of its parent that it is anchored to while
// the parent is resized. Anchored to both left and right it stretches; to neither, it keeps its
// place relative to the centre. The same holds vertically.
//
// The design distances are taken when the anchors are set and again whenever the program itself
// moves or sizes the child, so later layout code can place anchored children freely.

#include <QRect>

class QWidget;

enum TAnchorKind { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
inline constexpr int akLeftTop = akLeft | akTop;
inline constexpr int akAll = akLeft | akTop | akRight | akBottom;

// Where a child designed at `design` inside a parent of `designParent` goes when the parent
// becomes `parent`.
QRect AnchoredRect(const QRect& design, const QSize& designParent, const QSize& parent,
                   int anchors);

// Records the child's current geometry and its parent's current size as the design and keeps
// the child placed from then on. Anchors akLeftTop (the default of every control) stop the
// keeping.
void SetAnchors(QWidget* child, int anchors);
// The anchors recorded for a child (akLeftTop when none were set).
int GetAnchors(const QWidget* child);
