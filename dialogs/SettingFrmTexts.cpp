// The output settings dialog: the captions of the Add Text page. Rows of the text list stand for
// the project's own captions or for captions made in the dialog; the dialog owns the latter
// until OK hands the non-blank ones to the project.

#include "dialogs/FontColorDialog.h"
#include "dialogs/SettingFrm.h"
#include "project/VGProject.h"
#include "ui/UIUtils.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/NumberEdit.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>

namespace {
constexpr int TextRole = Qt::UserRole + 1;
} // namespace

TSettingForm::~TSettingForm() {
    // The captions the project did not take go with the dialog (FNewTexts).
    FCurrentText = nullptr;
}

TTextObj* TSettingForm::RowText(int row) const {
    const QListWidgetItem* item = lbText->item(row);
    return item ? reinterpret_cast<TTextObj*>(item->data(TextRole).value<quintptr>()) : nullptr;
}

bool TSettingForm::IsProjectText(const TTextObj* text) const {
    return FProject && FProject->Texts.IndexOf(text) >= 0;
}

void TSettingForm::AddTextRow(TTextObj* text, int number) {
    auto* item = new QListWidgetItem(QStringLiteral("Text %1").arg(number));
    item->setData(TextRole, QVariant::fromValue(reinterpret_cast<quintptr>(text)));
    lbText->addItem(item);
}

void TSettingForm::SelectRow(int row) {
    const QSignalBlocker blocker(lbText);
    lbText->setCurrentRow(row);
}

void TSettingForm::LoadTexts() {
    lbText->clear();
    for (int i = 0; i < FProject->Texts.Count(); ++i)
        AddTextRow(FProject->Texts[i], i + 1);
    if (lbText->count() > 0) {
        SelectRow(0);
        ShowText(RowText(0));
        return;
    }
    btnAddTextClick(); // a first, empty caption to type into
}

void TSettingForm::StoreCurrentText() {
    TTextObj* text = FCurrentText;
    if (!text)
        return;
    text->FontName = FHeldFont.Name;
    text->FontSize = FHeldFont.Size;
    text->FontStyles = FHeldFont.Styles;
    text->FontColor = int(FHeldFont.Color);
    text->X = edtTextX->AsInteger(0);
    text->Y = edtTextY->AsInteger(0);
    text->Text = mmText->toPlainText();
    text->Alignment = static_cast<decltype(text->Alignment)>(btnAlignLeft->isChecked()    ? 0
                                                             : btnAlignRight->isChecked() ? 1
                                                                                          : 2);
}

void TSettingForm::ShowText(TTextObj* text) {
    FCurrentText = text;
    const bool shown = text != nullptr;
    for (QWidget* control :
         std::initializer_list<QWidget*>{mmText, edtTextX, edtTextY, btnTextFont, btnAlignLeft,
                                         btnAlignCenter, btnAlignRight, cgText})
        control->setEnabled(shown);
    if (!shown) {
        mmText->clear();
        SetValueNoChange(edtTextX, QStringLiteral("0"));
        SetValueNoChange(edtTextY, QStringLiteral("0"));
        return;
    }
    mmText->setPlainText(text->Text);
    FHeldFont = THeldFont{text->FontName, text->FontSize, text->FontStyles,
                          TColor(text->FontColor) & 0xFFFFFF};
    btnTextFont->setFont(FHeldFont.ToFont());
    edtTextX->SetAsInteger(text->X);
    edtTextY->SetAsInteger(text->Y);
    QToolButton* align = text->Alignment == 0   ? btnAlignLeft
                         : text->Alignment == 1 ? btnAlignRight
                                                : btnAlignCenter;
    align->setChecked(true);
    SetValueNoChange(cgText, FHeldFont.Color);
}

void TSettingForm::lbTextClick() {
    StoreCurrentText();
    const int row = lbText->currentRow();
    if (row >= 0)
        ShowText(RowText(row));
}

void TSettingForm::btnAddTextClick() {
    StoreCurrentText();
    auto text = std::make_unique<TTextObj>();
    if (FProject)
        FProject->ApplyFontTo(text.get());
    TTextObj* added = text.get();
    FNewTexts.push_back(std::move(text));
    AddTextRow(added, lbText->count() + 1);
    SelectRow(lbText->count() - 1);
    ShowText(added);
}

void TSettingForm::btnDelTextClick() {
    const int row = lbText->currentRow();
    if (row < 0)
        return;
    TTextObj* text = RowText(row);
    if (text == FCurrentText)
        FCurrentText = nullptr; // its editors are not stored back
    if (IsProjectText(text)) {
        // Taken out of the project at once; Cancel does not bring it back.
        FProject->Texts.Delete(FProject->Texts.IndexOf(text));
    } else {
        std::erase_if(FNewTexts, [text](const auto& owned) { return owned.get() == text; });
    }
    {
        const QSignalBlocker blocker(lbText);
        delete lbText->takeItem(row);
    }
    const int next = qMin(row, lbText->count() - 1);
    SelectRow(next);
    ShowText(next >= 0 ? RowText(next) : nullptr);
}

void TSettingForm::btnTextFontClick() {
    if (!ChooseFontWithColor(FHeldFont, this))
        return;
    btnTextFont->setFont(FHeldFont.ToFont());
    cgText->SetSelectedColor(FHeldFont.Color);
}

void TSettingForm::cgTextChanged() {
    FHeldFont.Color = cgText->SelectedColor();
}

void TSettingForm::AdoptNewTexts() {
    if (!FProject)
        return;
    for (int row = 0; row < lbText->count(); ++row) {
        const TTextObj* text = RowText(row);
        if (!text || IsProjectText(text) || text->Text.trimmed().isEmpty())
            continue;
        // The project's list makes its own items: it takes a copy; ours go with the dialog.
        *FProject->Texts.Add() = *text;
    }
}
