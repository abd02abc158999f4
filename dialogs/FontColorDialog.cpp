#include "dialogs/FontColorDialog.h"

#include "widgets/ColorSwatchControl.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

TFontChooser& Chooser() {
    static TFontChooser chooser;
    return chooser;
}

bool RunFontDialog(THeldFont& font, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Font"));
    auto* fonts = new QFontDialog(font.ToFont(), &dialog);
    // Embedded as a page of our dialog: its own buttons would close only itself.
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts->setWindowFlags(Qt::Widget);
    auto* swatch = new TColorSwatchControl(&dialog);
    swatch->SetSelectedColor(font.Color);
    swatch->setFixedSize(60, 24);
    swatch->setAccessibleName(QStringLiteral("Color"));
    auto* colorLabel = new QLabel(QStringLiteral("Color:"), &dialog);
    colorLabel->setBuddy(swatch);
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(colorLabel);
    colorRow->addWidget(swatch);
    colorRow->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(fonts);
    layout->addLayout(colorRow);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = THeldFont::FromFont(fonts->currentFont(), swatch->SelectedColor());
    return true;
}

} // namespace

bool ChooseFontWithColor(THeldFont& font, QWidget* parent) {
    THeldFont copy = font;
    const bool chosen = Chooser() ? Chooser()(copy, parent) : RunFontDialog(copy, parent);
    if (chosen)
        font = copy;
    return chosen;
}

TFontChooser SetFontChooser(TFontChooser chooser) {
    TFontChooser old = std::move(Chooser());
    Chooser() = std::move(chooser);
    return old;
}
