#include "ui/UIUtils.h"

#include "app/VGApp.h"
#include "common/SysInfo.h"
#include "ui/SkinArt.h"
#include "widgets/Anchors.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QBitmap>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>

TSkinFileName ParseSkinFileName(const QString& fileName, const QString& prefix) {
    TSkinFileName result;
    const QString bare = QFileInfo(fileName).completeBaseName();
    if (prefix.isEmpty() || !bare.startsWith(prefix, Qt::CaseSensitive))
        return result;
    result.Matches = true;
    const QString rest = bare.mid(prefix.size() + 1);
    const qsizetype dot = rest.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        result.Component = rest.left(dot);
        result.State = rest.mid(dot + 1);
    } else {
        result.Component = rest;
    }
    return result;
}

QStringList ListSkinFiles(const QString& folder) {
    QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.bmp")},
                                            QDir::Files, QDir::Name | QDir::IgnoreCase);
    QStringList paths;
    for (const QString& name : names)
        paths.append(dir.filePath(name));
    return paths;
}

int LoadFormSkin(QWidget* window, const QString& prefix, const QString& folder) {
    if (!window)
        return 0;
    const QString usedPrefix =
        prefix.isEmpty() ? QString::fromLatin1(window->metaObject()->className()) : prefix;
    QString usedFolder = folder;
    if (usedFolder.isEmpty()) {
        if (!App)
            return 0;
        usedFolder = App->GetSkinPath();
    }
    int loaded = 0;
    for (const QString& path : ListSkinFiles(usedFolder)) {
        const TSkinFileName name = ParseSkinFileName(path, usedPrefix);
        if (!name.Matches || name.Component.isEmpty())
            continue;
        QWidget* component = window->findChild<QWidget*>(name.Component);
        if (!component)
            continue;
        if (auto* image = qobject_cast<TSkinImage*>(component)) {
            loaded += image->LoadFromFile(path) ? 1 : 0;
        } else if (auto* track = qobject_cast<TTrackBar*>(component)) {
            loaded += track->LoadThumbPicture(path) ? 1 : 0;
        } else if (auto* button = qobject_cast<TSkinButton*>(component)) {
            loaded += button->LoadPicture(name.State, path) ? 1 : 0;
        }
    }
    return loaded;
}

void LayoutFrameImages(QWidget* window, TSkinImage* left, TSkinImage* right, TSkinImage* top,
                       TSkinImage* bottom, TSkinImage* topLeft, TSkinImage* topRight,
                       TSkinImage* bottomLeft, TSkinImage* bottomRight) {
    const int w = window->width(), h = window->height();
    auto pictureSize = [](TSkinImage* image) {
        return image->Picture().isNull() ? image->size() : image->Picture().size();
    };
    if (left) {
        const int pw = pictureSize(left).width();
        left->setGeometry(0, left->y(), pw, left->height());
    }
    if (right) {
        const int pw = pictureSize(right).width();
        right->setGeometry(w - pw, right->y(), pw, right->height());
    }
    if (top) {
        const int ph = pictureSize(top).height();
        top->setGeometry(top->x(), 0, top->width(), ph);
    }
    if (bottom) {
        const int ph = pictureSize(bottom).height();
        bottom->setGeometry(bottom->x(), h - ph, bottom->width(), ph);
    }
    auto corner = [&](TSkinImage* image, bool atRight, bool atBottom) {
        if (!image)
            return;
        const QSize size = pictureSize(image);
        image->setGeometry(atRight ? w - size.width() : 0, atBottom ? h - size.height() : 0,
                           size.width(), size.height());
    };
    corner(topLeft, false, false);
    corner(topRight, true, false);
    corner(bottomLeft, false, true);
    corner(bottomRight, true, true);
}

int FontCharsetForLanguage(int languageId) {
    switch (languageId) {
    case 1033:
    case 2052:
        return 0;
    case 1041:
        return 128;
    case 1042:
        return 129;
    case 1049:
        return 204;
    default:
        return 1;
    }
}

void AdaptFormFont(QWidget* window, int languageId) {
    if (!window)
        return;
    const int charset = FontCharsetForLanguage(languageId ? languageId : GetSystemDefaultLangID());
    if (charset == 0)
        return;
    auto adapt = [charset](QWidget* widget) {
        QFont font = widget->font();
        font.setFamily(QStringLiteral("Arial"));
        widget->setFont(font);
        widget->setProperty("FontCharset", charset);
    };
    adapt(window);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children)
        adapt(child);
}

int DoubleBufferSkinParents(QWidget* window) {
    if (!window)
        return 0;
    int marked = 0;
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (!qobject_cast<TSkinButton*>(child) && !qobject_cast<TSkinImage*>(child) &&
            !qobject_cast<TPaintBox*>(child))
            continue;
        QWidget* parent = child->parentWidget();
        if (parent && !parent->property("DoubleBuffered").toBool()) {
            parent->setProperty("DoubleBuffered", true);
            ++marked;
        }
    }
    return marked;
}

void SetValueNoChange(QWidget* control, const QVariant& value) {
    if (!control)
        return;
    const QSignalBlocker blocker(control);
    if (auto* swatch = qobject_cast<TColorSwatchControl*>(control)) {
        swatch->SetSelectedColor(TColor(value.toUInt()));
    } else if (auto* fonts = qobject_cast<QFontComboBox*>(control)) {
        fonts->setCurrentFont(QFont(value.toString()));
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
            value.typeId() == QMetaType::UInt) {
            combo->setCurrentIndex(value.toInt());
        } else {
            const QString text = value.toString();
            const int index = combo->findText(text, Qt::MatchExactly);
            if (!combo->isEditable())
                combo->setCurrentIndex(index);
            else if (index >= 0)
                combo->setCurrentIndex(index);
            else
                combo->setEditText(text);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(value.toString());
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        spin->setValue(value.toInt());
    } else if (auto* doubleSpin = qobject_cast<QDoubleSpinBox*>(control)) {
        doubleSpin->setValue(value.toDouble());
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
        slider->setValue(value.toInt());
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setChecked(value.toBool());
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        plain->setPlainText(value.toString());
    } else if (auto* text = qobject_cast<QTextEdit*>(control)) {
        text->setPlainText(value.toString());
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(value.toString());
    }
}

void SetValueNoChange(QButtonGroup* group, int id) {
    if (!group)
        return;
    const QSignalBlocker blocker(group);
    const auto buttons = group->buttons();
    std::vector<std::unique_ptr<QSignalBlocker>> buttonBlockers;
    for (QAbstractButton* button : buttons)
        buttonBlockers.push_back(std::make_unique<QSignalBlocker>(button));
    if (QAbstractButton* button = group->button(id))
        button->setChecked(true);
}

void EnableChildControls(QWidget* container, bool enabled) {
    if (!container)
        return;
    const auto children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow())
            continue;
        if (!child->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty())
            EnableChildControls(child, enabled);
        child->setEnabled(enabled);
    }
}

QString CompressStr(const QString& text, int width, const QFontMetrics& metrics,
                    const QString& ellipsis) {
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    QString shortened = text;
    while (!shortened.isEmpty() && metrics.horizontalAdvance(shortened + ellipsis) > width)
        shortened.chop(1);
    return shortened + ellipsis;
}

void FitUrlLabel(QLabel* label, int width) {
    if (!label || width >= label->width())
        return;
    label->setText(CompressStr(label->text(), width, label->fontMetrics()));
    label->resize(width, label->height());
}

void MakeRoundRectForm(QWidget* window, int ellipse) {
    if (!window || window->width() <= 0 || window->height() <= 0)
        return;
    QBitmap mask(window->size());
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    const qreal radius = ellipse / 2.0;
    painter.drawRoundedRect(QRectF(0, 0, window->width(), window->height()), radius, radius);
    painter.end();
    window->setMask(mask);
}

TSkinImage* CreateSkinImage(QWidget* parent, const char* name, const QRect& bounds, bool stretch,
                            int anchors) {
    auto* image = new TSkinImage(parent);
    image->setObjectName(QString::fromLatin1(name));
    image->setGeometry(bounds);
    image->SetStretch(stretch);
    image->SetPicture(DrawSkinPart(image->objectName(), {}, BuiltInSkinPalette()));
    SetAnchors(image, anchors);
    return image;
}

TSkinButton* CreateSkinButton(QWidget* parent, const char* name, const QRect& bounds, int anchors) {
    auto* button = new TSkinButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(bounds);
    const TSkinPalette palette = BuiltInSkinPalette();
    for (const char* state : {"normal", "hot", "down"}) {
        TSkinState skinState;
        if (TSkinButton::StateFromName(QString::fromLatin1(state), &skinState))
            button->SetPicture(
                skinState, DrawSkinPart(button->objectName(), QString::fromLatin1(state), palette));
    }
    SetAnchors(button, anchors);
    return button;
}

TFrameImages CreateFrameImages(QWidget* window, const QSize& design) {
    const int w = design.width(), h = design.height();
    TFrameImages f{};
    f.Top = CreateSkinImage(window, "imgTop", QRect(0, 0, w, 31), true, akLeft | akTop | akRight);
    f.Left = CreateSkinImage(window, "imgLeft", QRect(0, 0, 5, h), true, akLeft | akTop | akBottom);
    f.Right = CreateSkinImage(window, "imgRight", QRect(w - 6, 0, 6, h), true,
                              akTop | akRight | akBottom);
    f.Bottom = CreateSkinImage(window, "imgBottom", QRect(0, h - 6, w, 6), true,
                               akLeft | akRight | akBottom);
    f.TopLeft = CreateSkinImage(window, "imgTopLeft", QRect(0, 0, 5, 31), false, akLeft | akTop);
    f.TopRight =
        CreateSkinImage(window, "imgTopRight", QRect(w - 6, 0, 6, 31), false, akTop | akRight);
    f.BottomLeft =
        CreateSkinImage(window, "imgBottomLeft", QRect(0, h - 9, 8, 9), false, akLeft | akBottom);
    f.BottomRight = CreateSkinImage(window, "imgBottomRight", QRect(w - 9, h - 9, 9, 9), false,
                                    akRight | akBottom);
    for (TSkinImage* corner : {f.TopLeft, f.TopRight, f.BottomLeft, f.BottomRight})
        corner->SetAutoSize(true);
    f.Ico = CreateSkinImage(window, "imgIco", QRect(10, 7, 18, 18), false, akLeft | akTop);
    return f;
}
