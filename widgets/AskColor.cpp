#include "widgets/AskColor.h"

#include <QColorDialog>
#include <QWidget>

namespace {
TColorChooser& Chooser() {
    static TColorChooser chooser;
    return chooser;
}
} // namespace

TColorChooser SetColorChooser(TColorChooser chooser) {
    TColorChooser old = std::move(Chooser());
    Chooser() = std::move(chooser);
    return old;
}

bool AskColor(QColor& color, QWidget* parent) {
    if (Chooser())
        return Chooser()(color, parent) && color.isValid();
    const QColor picked = QColorDialog::getColor(color, parent ? parent->window() : nullptr);
    if (!picked.isValid())
        return false;
    color = picked;
    return true;
}
