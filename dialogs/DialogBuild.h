#pragma once
// Small builders for the dialogs' controls at their design positions.

#include <QRect>
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QWidget;
class TFlatGroupBox;
class TNumberEdit;

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, const QString& name = {});
// A combo box; editable ones take typed text, the others only pick an item.
QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items, bool editable,
                     const QRect& bounds);
// A right-aligned whole-number edit showing "0".
TNumberEdit* MakeIntEdit(QWidget* parent, const QString& name, const QRect& bounds);
QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& text,
                     const QRect& bounds);
QRadioButton* MakeRadio(QWidget* parent, const QString& name, const QString& text,
                        const QRect& bounds);
TFlatGroupBox* MakeGroup(QWidget* parent, const QString& caption, const QRect& bounds);
