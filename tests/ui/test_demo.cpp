// A dialog with every control of the widget set, rendered at 96 and at 144 dpi. The pictures are
// written to $VG_DEMO_DIR for a person to look at (without it, to the test's own temporary folder,
// removed afterwards); the checks make sure the frame, the controls and the scaling are really
// drawn.

#include "app/VGApp.h"
#include "tests/widgets/WidgetTestUtils.h"
#include "ui/BaseUIFrm.h"
#include "widgets/Anchors.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/CropFrameControl.h"
#include "widgets/FlatControls.h"
#include "widgets/FlatStyle.h"
#include "widgets/NumberEdit.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class TDemoForm : public TBaseUIForm {
public:
    explicit TDemoForm(const QStringList& pictures) {
        resize(720, 520);
        SetCaption(QStringLiteral("Output Settings"));
        auto* group = new TFlatGroupBox(QStringLiteral("Output size"), this);
        group->setGeometry(20, 44, 330, 120);
        auto* label = new QLabel(QStringLiteral("Size"), group);
        label->setGeometry(14, 28, 40, 22);
        auto* width = new TNumberEdit(group);
        width->setGeometry(60, 28, 60, 22);
        width->SetAsInteger(640);
        auto* times = new QLabel(QStringLiteral("x"), group);
        times->setGeometry(126, 28, 10, 22);
        auto* height = new TNumberEdit(group);
        height->setGeometry(140, 28, 60, 22);
        height->SetAsInteger(360);
        auto* size = new QComboBox(group);
        size->addItems({QStringLiteral("Original size"), QStringLiteral("1/2 Original size")});
        size->setGeometry(210, 28, 106, 22);
        auto* check = new QCheckBox(QStringLiteral("Use crop"), group);
        check->setGeometry(14, 62, 100, 22);
        check->setChecked(true);
        auto* radio = new QRadioButton(QStringLiteral("Forward"), group);
        radio->setGeometry(120, 62, 90, 22);
        radio->setChecked(true);
        auto* swatch = new TColorSwatchControl(group);
        swatch->setGeometry(216, 62, 40, 22);
        swatch->SetSelectedColor(0x2F6FD6);
        auto* edit = new QLineEdit(QStringLiteral("00:00:05.000"), group);
        edit->setGeometry(14, 90, 100, 22);
        auto* link = new TLinkLabel(group);
        link->setText(QStringLiteral("Support: www.example.com"));
        link->setGeometry(130, 92, 180, 18);

        auto* panel = new TFlatPanel(this);
        panel->setGeometry(370, 44, 330, 180);
        panel->SetColor(QColor(30, 30, 30));
        panel->SetBorderColor(QColor(0, 0, 0));
        panel->SetBorderWidth(1);
        panel->SetCornerRadius(4);
        panel->OnPaint = [](QPainter& painter) {
            QLinearGradient sky(0, 20, 0, 160);
            sky.setColorAt(0, QColor(90, 150, 220));
            sky.setColorAt(1, QColor(230, 200, 150));
            painter.fillRect(QRect(18, 18, 294, 144), sky);
        };
        auto* crop = new TCropFrameControl(this);
        crop->LoadRc(QRect(18, 18, 294, 144));
        crop->SetCropRect(QRect(60, 40, 180, 90));
        crop->SetControl(panel);

        auto* track = new TTrackBar(this);
        track->setGeometry(20, 180, 330, 20);
        track->setRange(0, 100);
        track->setValue(35);
        auto* progress = new QProgressBar(this);
        progress->setGeometry(20, 210, 330, 14);
        progress->setValue(62);
        progress->setTextVisible(false);
        auto* separator = new TSeparator(Qt::Horizontal, this);
        separator->setGeometry(20, 236, 680, 5);

        auto* view = new TFlatPanel(this);
        view->setGeometry(20, 250, 680, 123);
        view->SetColor(QColor(243, 243, 243));
        view->SetBorderColor(QColor(223, 223, 223));
        view->SetBorderWidth(1);
        auto* prior = new TSkinButton(view);
        prior->setGeometry(0, 0, 24, 123);
        prior->setText(QStringLiteral("<"));
        auto* next = new TSkinButton(view);
        next->setGeometry(656, 0, 24, 123);
        next->setText(QStringLiteral(">"));
        Strip = new TThumbStrip(view);
        Strip->setGeometry(28, 1, 624, 121);
        Strip->SetSpacing(0, 20);
        Strip->SetShowCaption(false);
        Strip->SetColor(15987699);
        QFont stripFont(QStringLiteral("Tahoma"));
        stripFont.setPixelSize(15);
        Strip->setFont(stripFont);
        for (int i = 0; i < pictures.size(); ++i)
            Strip->AddPhoto(pictures[i]);
        Strip->OnDrawPhoto = [](TPhotoData* item, const QRectF&, const QRect& text,
                                QPainter& painter) {
            painter.drawText(text, Qt::AlignLeft | Qt::AlignTop,
                             QStringLiteral("00:00:0%1.000").arg(item->Index()));
        };
        Strip->Item(1)->SetSelected(true);
        Strip->Item(2)->SetSelected(true);
        Strip->SetFocusedPhoto(Strip->Item(2));
        SetAnchors(view, akLeft | akRight | akBottom);

        auto* tools = new TFlatGroupBox(QString(), this);
        tools->setGeometry(20, 386, 480, 66);
        tools->SetFaceColor(QColor(245, 246, 248));
        int x = 12;
        for (const char* caption : {"Open", "Play", "Crop", "Setting", "Convert"}) {
            auto* button = new TSkinButton(tools);
            button->setGeometry(x, 12, 82, 42);
            button->setText(QString::fromLatin1(caption));
            button->SetAccent(QLatin1String(caption) == QLatin1String("Convert"));
            x += 90;
        }
        FormCreate();
    }
    TThumbStrip* Strip;
};

// The kind of page the settings dialog shows: tabs, a list, a memo and small buttons.
class TPagesForm : public TBaseUIForm {
public:
    TPagesForm() {
        resize(420, 360);
        SetCaption(QStringLiteral("Setting"));
        auto* pages = new QTabWidget(this);
        pages->setGeometry(16, 42, 388, 262);
        auto* page = new QWidget();
        pages->addTab(page, QStringLiteral("General"));
        pages->addTab(new QWidget(), QStringLiteral("Add Text"));
        pages->addTab(new QWidget(), QStringLiteral("Logo"));
        pages->setCurrentIndex(1);
        auto* textPage = pages->currentWidget();
        auto* list = new QListWidget(textPage);
        list->setGeometry(10, 10, 150, 120);
        list->addItems({QStringLiteral("Text 1"), QStringLiteral("Text 2")});
        list->setCurrentRow(1);
        auto* memo = new QPlainTextEdit(QStringLiteral("Hello GIF"), textPage);
        memo->setGeometry(170, 10, 200, 120);
        int x = 10;
        for (const char* caption : {"+", "-"}) {
            auto* button = new TSkinButton(textPage);
            button->setGeometry(x, 140, 28, 24);
            button->setText(QString::fromLatin1(caption));
            x += 34;
        }
        auto* align = new TSkinButton(textPage);
        align->setGeometry(x, 140, 28, 24);
        align->setText(QStringLiteral("R"));
        align->SetStayDown(true);
        FormCreate();
    }
};

// Makes the application core global for the life of the object, and clears the global pointer
// again on every way out of the test (an assertion that fails half-way included).
class TGlobalApp {
public:
    explicit TGlobalApp(TApp& app) { App = &app; }
    ~TGlobalApp() { App = nullptr; }
    TGlobalApp(const TGlobalApp&) = delete;
    TGlobalApp& operator=(const TGlobalApp&) = delete;
};

QImage RenderAt(QWidget* widget, qreal scale) {
    QImage image(widget->size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    widget->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    return image;
}

} // namespace

TEST(Demo, EveryControlDrawsAtBothResolutions) {
    TApp app(QStringLiteral(VG_PROGRAM_DIR));
    const TGlobalApp global(app);
    QTemporaryDir dir;
    QStringList pictures;
    for (int i = 0; i < 6; ++i) {
        QImage frame(640, 360, QImage::Format_RGB32);
        QPainter painter(&frame);
        QLinearGradient gradient(0, 0, 640, 360);
        gradient.setColorAt(0, QColor::fromHsv(i * 50, 120, 230));
        gradient.setColorAt(1, QColor::fromHsv(i * 50 + 30, 200, 120));
        painter.fillRect(frame.rect(), gradient);
        painter.setBrush(QColor(255, 255, 255, 180));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint(160 + i * 60, 180), 60, 60);
        painter.end();
        pictures.append(dir.filePath(QStringLiteral("f%1.bmp").arg(i)));
        ASSERT_TRUE(frame.save(pictures.last()));
    }
    TDemoForm form(pictures);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.Strip->viewport()->repaint();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return form.Strip->PendingThumbnails() == 0 &&
               form.Strip->Item(0)->ThumbState() == TPhotoData::tsLoaded;
    }));

    const QImage normal = RenderAt(&form, 1.0);
    const QImage large = RenderAt(&form, 1.5);
    EXPECT_EQ(normal.size(), QSize(720, 520));
    EXPECT_EQ(large.size(), QSize(1080, 780));

    // The title bar is the frame's colour with white caption text on it; the client area white.
    const QColor title = normal.pixelColor(300, 15);
    EXPECT_LT(title.lightness(), 140);
    EXPECT_EQ(normal.pixelColor(360, 235 - 4), QColor(Qt::white));
    int whiteInTitle = 0;
    for (int x = 34; x < 160; ++x)
        for (int y = 8; y < 24; ++y)
            whiteInTitle += normal.pixelColor(x, y).lightness() > 230 ? 1 : 0;
    EXPECT_GT(whiteInTitle, 40);
    // At 144 dpi the same places hold the same colours, with finer detail.
    EXPECT_TRUE(Near(large.pixelColor(450, 22), title, 12));
    EXPECT_TRUE(Near(large.pixelColor(int(form.Strip->mapTo(&form, QPoint(70, 40)).x() * 1.5),
                                      int(form.Strip->mapTo(&form, QPoint(70, 40)).y() * 1.5)),
                     normal.pixelColor(form.Strip->mapTo(&form, QPoint(70, 40))), 24));

    QMenu menu;
    MakeOwnerDrawnMenu(&menu);
    QPixmap mark(16, 16);
    mark.fill(QColor(208, 54, 47));
    menu.addAction(QIcon(mark), QStringLiteral("Delete"));
    menu.addAction(QStringLiteral("Restore"))->setEnabled(false);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Set as start frame"));
    menu.addAction(QStringLiteral("Set as end frame"));
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    menu.setActiveAction(menu.actions().first());
    const QImage menuShot = RenderAt(&menu, 1.5);
    menu.close();

    const QString out =
        qEnvironmentVariableIsSet("VG_DEMO_DIR") ? qEnvironmentVariable("VG_DEMO_DIR") : dir.path();
    ASSERT_TRUE(QDir().mkpath(out));
    EXPECT_TRUE(normal.save(out + QLatin1String("/demo-96dpi.png")));
    EXPECT_TRUE(large.save(out + QLatin1String("/demo-144dpi.png")));
    EXPECT_TRUE(menuShot.save(out + QLatin1String("/menu-144dpi.png")));

    TPagesForm pages;
    pages.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pages));
    const QImage pagesShot = RenderAt(&pages, 1.0);
    EXPECT_EQ(pagesShot.pixelColor(200, 320), QColor(Qt::white));
    EXPECT_TRUE(pagesShot.save(out + QLatin1String("/pages-96dpi.png")));
}
