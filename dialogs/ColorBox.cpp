#include "dialogs/ColorBox.h"

#include "widgets/AskColor.h"

#include <QPainter>
#include <QPixmap>

namespace {

struct TNamedColor {
    const char* Name;
    TColor Color;
};

// The standard colours in the usual order of a colour list.
constexpr TNamedColor StandardColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080},  {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080},  {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},     {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF}};

constexpr int ColorRole = Qt::UserRole + 1;
constexpr int IsCustomRole = Qt::UserRole + 2;

QIcon SwatchIcon(TColor color) {
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(120, 120, 120));
    painter.setBrush(WinColorToQColor(color));
    painter.drawRect(0, 0, 13, 13);
    return QIcon(pixmap);
}

QString HexName(TColor color) {
    return QStringLiteral("$%1").arg(color, 6, 16, QLatin1Char('0')).toUpper();
}

} // namespace

TColorBox::TColorBox(QWidget* parent) : QComboBox(parent) {
    addItem(QStringLiteral("Custom..."));
    for (const TNamedColor& named : StandardColors) {
        addItem(SwatchIcon(named.Color), QString::fromLatin1(named.Name));
        setItemData(count() - 1, named.Color, ColorRole);
    }
    setCurrentIndex(1);
    setMaxVisibleItems(18);
    connect(this, &QComboBox::activated, this, &TColorBox::EntryActivated);
}

TColor TColorBox::SelectedColor() const {
    const int index = currentIndex();
    if (index <= CustomEntry)
        return FLastColor;
    return TColor(itemData(index, ColorRole).toUInt());
}

int TColorBox::CustomColorIndex() const {
    return count() > 1 && itemData(1, IsCustomRole).toBool() ? 1 : -1;
}

void TColorBox::SetSelectedColor(TColor color) {
    color &= 0xFFFFFF;
    const QSignalBlocker blocker(this);
    FLastColor = color;
    for (int i = 1; i < count(); ++i) {
        if (!itemData(i, IsCustomRole).toBool() && itemData(i, ColorRole).toUInt() == color) {
            setCurrentIndex(i);
            return;
        }
    }
    int custom = CustomColorIndex();
    if (custom < 0) {
        insertItem(1, QString());
        custom = 1;
        setItemData(custom, true, IsCustomRole);
    }
    setItemText(custom, HexName(color));
    setItemIcon(custom, SwatchIcon(color));
    setItemData(custom, color, ColorRole);
    // Screen readers say the colour in words rather than spell out the hex caption.
    const QColor shown = WinColorToQColor(color);
    setItemData(custom,
                QStringLiteral("Custom color: red %1, green %2, blue %3")
                    .arg(shown.red())
                    .arg(shown.green())
                    .arg(shown.blue()),
                Qt::AccessibleTextRole);
    setCurrentIndex(custom);
}

void TColorBox::EntryActivated(int index) {
    if (index != CustomEntry) {
        FLastColor = SelectedColor();
        return;
    }
    QColor color = WinColorToQColor(FLastColor);
    // Cancelled: the colour shown before stays.
    SetSelectedColor(AskColor(color, this) ? QColorToWinColor(color) : FLastColor);
}
