#include "dialogs/DialogBuild.h"

#include "widgets/FlatControls.h"
#include "widgets/NumberEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, const QString& name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items, bool editable,
                     const QRect& bounds) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(editable);
    if (editable)
        combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setGeometry(bounds);
    return combo;
}

TNumberEdit* MakeIntEdit(QWidget* parent, const QString& name, const QRect& bounds) {
    auto* edit = new TNumberEdit(parent, dfInteger);
    edit->setObjectName(name);
    edit->setGeometry(bounds);
    return edit;
}

QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& text,
                     const QRect& bounds) {
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(name);
    check->setGeometry(bounds);
    return check;
}

QRadioButton* MakeRadio(QWidget* parent, const QString& name, const QString& text,
                        const QRect& bounds) {
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(name);
    radio->setGeometry(bounds);
    return radio;
}

TFlatGroupBox* MakeGroup(QWidget* parent, const QString& caption, const QRect& bounds) {
    auto* group = new TFlatGroupBox(caption, parent);
    group->setGeometry(bounds);
    return group;
}
