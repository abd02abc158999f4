// The window routines: skin file names and loading, frame layout, fonts per language, silent
// value writes, enabling groups, shortened link labels and the rounded shape.

#include "tests/widgets/WidgetTestUtils.h"
#include "ui/SkinArt.h"
#include "ui/UIUtils.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(SkinFileName, PrefixCaseCountsAndTheRestSplitsAtTheFirstDot) {
    const QString prefix = QStringLiteral("TBaseUIForm");
    TSkinFileName name = ParseSkinFileName(QStringLiteral("/skin/TBaseUIForm.imgTop.jpg"), prefix);
    EXPECT_TRUE(name.Matches);
    EXPECT_EQ(name.Component, "imgTop");
    EXPECT_TRUE(name.State.isEmpty());

    name = ParseSkinFileName(QStringLiteral("TBaseUIForm.btnOkMe.hot.bmp"), prefix);
    EXPECT_EQ(name.Component, "btnOkMe");
    EXPECT_EQ(name.State, "hot");

    name = ParseSkinFileName(QStringLiteral("TBaseUIForm.btnOkMe.Normal.bmp"), prefix);
    EXPECT_EQ(name.State, "Normal");

    EXPECT_FALSE(
        ParseSkinFileName(QStringLiteral("tbaseuiform.btnOkMe.normal.bmp"), prefix).Matches);
    EXPECT_FALSE(ParseSkinFileName(QStringLiteral("TMainForm.imgTop.jpg"), prefix).Matches);
    // A longer prefix that begins the same way names no component of ours.
    name = ParseSkinFileName(QStringLiteral("TBaseUIFormX.imgTop.jpg"), prefix);
    EXPECT_TRUE(name.Component.isEmpty());
}

namespace {

QImage Filled(int w, int h, const QColor& color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A window with a picture, a skin button and a track bar, as a skin addresses them.
struct TSkinnedWindow {
    QWidget Window;
    TSkinImage* imgTop;
    TSkinButton* btnOkMe;
    TTrackBar* TrackBar;
    TSkinnedWindow() {
        imgTop = new TSkinImage(&Window);
        imgTop->setObjectName(QStringLiteral("imgTop"));
        imgTop->SetPicture(Filled(4, 31, Qt::gray));
        btnOkMe = new TSkinButton(&Window);
        btnOkMe->setObjectName(QStringLiteral("btnOkMe"));
        btnOkMe->SetPicture(TSkinState::Normal, Filled(71, 23, Qt::gray));
        auto* panel = new QWidget(&Window);
        TrackBar = new TTrackBar(panel);
        TrackBar->setObjectName(QStringLiteral("TrackBar"));
    }
};

} // namespace

TEST(LoadFormSkin, ReplacesNamedPicturesAndSkipsEverythingElse) {
    QTemporaryDir dir;
    auto save = [&dir](const QString& name, const QColor& color) {
        ASSERT_TRUE(Filled(10, 10, color).save(dir.filePath(name)));
    };
    save(QStringLiteral("TBaseUIForm.imgTop.jpg"), QColor(0, 0, 255));
    save(QStringLiteral("TBaseUIForm.btnOkMe.Normal.bmp"), QColor(255, 0, 0));
    save(QStringLiteral("TBaseUIForm.btnOkMe.HOT.bmp"), QColor(0, 255, 0));
    save(QStringLiteral("TBaseUIForm.btnOkMe.pressed.bmp"), QColor(9, 9, 9));
    save(QStringLiteral("TBaseUIForm.TrackBar.bmp"), QColor(255, 0, 255));
    save(QStringLiteral("tbaseuiform.btnOkMe.down.bmp"), QColor(1, 2, 3));
    save(QStringLiteral("TBaseUIForm.btnNothing.hot.bmp"), QColor(4, 5, 6));
    save(QStringLiteral("TBaseUIForm.imgTop.png"), QColor(7, 8, 9));
    QFile broken(dir.filePath(QStringLiteral("TBaseUIForm.btnOkMe.disabled.bmp")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("no picture");
    broken.close();

    TSkinnedWindow w;
    EXPECT_EQ(LoadFormSkin(&w.Window, QStringLiteral("TBaseUIForm"), dir.path()), 4);
    EXPECT_TRUE(Near(w.imgTop->Picture().pixelColor(5, 5), QColor(0, 0, 255), 12));
    EXPECT_EQ(w.btnOkMe->Picture(TSkinState::Normal).pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(w.btnOkMe->Picture(TSkinState::Hot).pixelColor(5, 5), QColor(0, 255, 0));
    EXPECT_TRUE(w.btnOkMe->Picture(TSkinState::Down).isNull()) << "prefix in the wrong case";
    EXPECT_TRUE(w.btnOkMe->Picture(TSkinState::Disabled).isNull()) << "not a picture";
    EXPECT_EQ(w.TrackBar->ThumbPicture().pixelColor(5, 5), QColor(255, 0, 255));

    // Another prefix, or a folder without matching files, changes nothing.
    TSkinnedWindow other;
    EXPECT_EQ(LoadFormSkin(&other.Window, QStringLiteral("TCropForm"), dir.path()), 0);
    EXPECT_EQ(other.imgTop->Picture().pixelColor(1, 1), QColor(Qt::gray));
    QTemporaryDir empty;
    EXPECT_EQ(LoadFormSkin(&other.Window, QStringLiteral("TBaseUIForm"), empty.path()), 0);
    EXPECT_EQ(LoadFormSkin(&other.Window, QStringLiteral("TBaseUIForm"),
                           empty.filePath(QStringLiteral("missing"))),
              0);
}

TEST(LoadFormSkin, AnEmptyPrefixMeansTheWindowClassName) {
    QTemporaryDir dir;
    ASSERT_TRUE(Filled(6, 6, Qt::red).save(dir.filePath(QStringLiteral("QWidget.imgTop.bmp"))));
    TSkinnedWindow w;
    EXPECT_EQ(LoadFormSkin(&w.Window, QString(), dir.path()), 1);
    EXPECT_EQ(w.imgTop->Picture().pixelColor(1, 1), QColor(Qt::red));
}

TEST(LayoutFrameImages, PutsEachPictureAtItsEdgeAtItsOwnSize) {
    QWidget window;
    window.resize(500, 400);
    auto make = [&window](int w, int h) {
        auto* image = new TSkinImage(&window);
        image->setGeometry(50, 50, 20, 20);
        image->SetPicture(Filled(w, h, Qt::red));
        return image;
    };
    TSkinImage *left = make(7, 3), *right = make(9, 3), *top = make(3, 40), *bottom = make(3, 11);
    TSkinImage *tl = make(7, 40), *tr = make(9, 40), *bl = make(10, 12), *br = make(12, 12);
    LayoutFrameImages(&window, left, right, top, bottom, tl, tr, bl, br);
    EXPECT_EQ(left->geometry(), QRect(0, 50, 7, 20));
    EXPECT_EQ(right->geometry(), QRect(491, 50, 9, 20));
    EXPECT_EQ(top->geometry(), QRect(50, 0, 20, 40));
    EXPECT_EQ(bottom->geometry(), QRect(50, 389, 20, 11));
    EXPECT_EQ(tl->geometry(), QRect(0, 0, 7, 40));
    EXPECT_EQ(tr->geometry(), QRect(491, 0, 9, 40));
    EXPECT_EQ(bl->geometry(), QRect(0, 388, 10, 12));
    EXPECT_EQ(br->geometry(), QRect(488, 388, 12, 12));
}

TEST(AdaptFormFont, ChangesFontsByTheSystemLanguage) {
    EXPECT_EQ(FontCharsetForLanguage(1033), 0);
    EXPECT_EQ(FontCharsetForLanguage(2052), 0);
    EXPECT_EQ(FontCharsetForLanguage(1041), 128);
    EXPECT_EQ(FontCharsetForLanguage(1042), 129);
    EXPECT_EQ(FontCharsetForLanguage(1049), 204);
    EXPECT_EQ(FontCharsetForLanguage(1031), 1);

    auto makeWindow = [](QWidget& window) {
        QFont tahoma(QStringLiteral("Tahoma"));
        tahoma.setPixelSize(15);
        tahoma.setBold(true);
        window.setFont(QFont(QStringLiteral("Liberation Serif")));
        auto* label = new QLabel(&window);
        label->setFont(tahoma);
        return label;
    };
    QWidget english;
    QLabel* englishLabel = makeWindow(english);
    AdaptFormFont(&english, 1033);
    EXPECT_EQ(englishLabel->font().family(), "Tahoma");
    EXPECT_FALSE(englishLabel->property("FontCharset").isValid());

    QWidget japanese;
    QLabel* japaneseLabel = makeWindow(japanese);
    AdaptFormFont(&japanese, 1041);
    EXPECT_EQ(japanese.font().family(), "Arial");
    EXPECT_EQ(japaneseLabel->font().family(), "Arial");
    EXPECT_EQ(japaneseLabel->font().pixelSize(), 15) << "size and weight stay";
    EXPECT_TRUE(japaneseLabel->font().bold());
    EXPECT_EQ(japaneseLabel->property("FontCharset").toInt(), 128);
    EXPECT_EQ(japanese.property("FontCharset").toInt(), 128);
}

TEST(DoubleBufferSkinParents, MarksEachContainerOfPicturesOnce) {
    QWidget window;
    auto* panel = new QWidget(&window);
    new TSkinButton(panel);
    new TSkinButton(panel);
    auto* plainPanel = new QWidget(&window);
    new QLineEdit(plainPanel);
    new TPaintBox(&window);
    EXPECT_EQ(DoubleBufferSkinParents(&window), 2);
    EXPECT_TRUE(panel->property("DoubleBuffered").toBool());
    EXPECT_TRUE(window.property("DoubleBuffered").toBool());
    EXPECT_FALSE(plainPanel->property("DoubleBuffered").toBool());
}

TEST(SetValueNoChange, ProgramWritesNeverRunChangeHandlersButUserChangesDo) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* masked = new QLineEdit(&window);
    masked->setInputMask(QStringLiteral("99:99:99.999;_"));
    auto* pick = new QComboBox(&window);
    pick->addItems({QStringLiteral("Original size"), QStringLiteral("1/2 Original size"),
                    QStringLiteral("Custom")});
    auto* editable = new QComboBox(&window);
    editable->setEditable(true);
    editable->addItems({QStringLiteral("Infinite"), QStringLiteral("0"), QStringLiteral("1")});
    auto* check = new QCheckBox(&window);
    auto* track = new TTrackBar(&window);
    track->setRange(0, 1000);
    auto* swatch = new TColorSwatchControl(&window);
    auto* fonts = new QFontComboBox(&window);

    int handlerRuns = 0;
    auto count = [&handlerRuns] { ++handlerRuns; };
    QObject::connect(edit, &QLineEdit::textChanged, count);
    QObject::connect(masked, &QLineEdit::textChanged, count);
    QObject::connect(pick, &QComboBox::currentIndexChanged, count);
    QObject::connect(editable, &QComboBox::currentTextChanged, count);
    QObject::connect(check, &QCheckBox::clicked, count);
    QObject::connect(check, &QCheckBox::toggled, count);
    QObject::connect(track, &QSlider::valueChanged, count);
    swatch->OnChange = count;
    QObject::connect(fonts, &QFontComboBox::currentFontChanged, count);

    SetValueNoChange(edit, QStringLiteral("320"));
    SetValueNoChange(masked, QStringLiteral("00:01:02.345"));
    SetValueNoChange(pick, 2);
    SetValueNoChange(editable, QStringLiteral("7"));
    SetValueNoChange(check, true);
    SetValueNoChange(track, 640);
    SetValueNoChange(swatch, 0x00FF00u);
    SetValueNoChange(fonts, QStringLiteral("Liberation Mono"));
    EXPECT_EQ(handlerRuns, 0);
    EXPECT_EQ(edit->text(), "320");
    EXPECT_EQ(masked->text(), "00:01:02.345");
    EXPECT_EQ(pick->currentIndex(), 2);
    EXPECT_EQ(editable->currentText(), "7");
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(track->value(), 640);
    EXPECT_EQ(swatch->SelectedColor(), 0x00FF00u);
    EXPECT_EQ(fonts->currentFont().family(), "Liberation Mono");

    // A text selects the matching item of a pick-only list, and of an editable one.
    SetValueNoChange(pick, QStringLiteral("1/2 Original size"));
    EXPECT_EQ(pick->currentIndex(), 1);
    SetValueNoChange(editable, QStringLiteral("Infinite"));
    EXPECT_EQ(editable->currentIndex(), 0);
    EXPECT_EQ(handlerRuns, 0);

    // The handlers are attached again afterwards.
    QTest::keyClicks(edit, QStringLiteral("0"));
    EXPECT_EQ(handlerRuns, 1);
    check->click();
    EXPECT_EQ(handlerRuns, 3);
    EXPECT_FALSE(check->isChecked());
}

TEST(SetValueNoChange, RadioGroupChecksTheButtonSilently) {
    QWidget window;
    QButtonGroup group;
    for (int i = 0; i < 3; ++i)
        group.addButton(new QRadioButton(&window), i);
    group.button(0)->setChecked(true);
    int handlerRuns = 0;
    QObject::connect(&group, &QButtonGroup::idToggled, [&handlerRuns] { ++handlerRuns; });
    SetValueNoChange(&group, 2);
    EXPECT_EQ(group.checkedId(), 2);
    EXPECT_EQ(handlerRuns, 0);
}

TEST(EnableChildControls, ReachesNestedControlsAndLeavesTheContainerAlone) {
    QWidget window;
    auto* group = new QWidget(&window);
    auto* edit = new QLineEdit(group);
    auto* inner = new QWidget(group);
    auto* innerCheck = new QCheckBox(inner);
    EnableChildControls(group, false);
    EXPECT_TRUE(group->isEnabled());
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_FALSE(inner->isEnabled());
    EXPECT_FALSE(innerCheck->isEnabledTo(inner));
    EnableChildControls(group, true);
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_TRUE(innerCheck->isEnabled());
}

TEST(FitUrlLabel, ShortensOnlyWhatDoesNotFit) {
    const QFontMetrics metrics{QFont(QStringLiteral("Liberation Sans"))};
    const QString address = QStringLiteral("Purchase: www.qopasoft.example/gif-clip-maker/buy");
    EXPECT_EQ(CompressStr(address, 10000, metrics), address);
    const QString shortened = CompressStr(address, 120, metrics);
    EXPECT_TRUE(shortened.endsWith(QLatin1String("...")));
    EXPECT_TRUE(address.startsWith(shortened.chopped(3)));
    EXPECT_LE(metrics.horizontalAdvance(shortened), 120);
    EXPECT_GT(metrics.horizontalAdvance(shortened),
              120 - metrics.horizontalAdvance(QStringLiteral("W...")));
    EXPECT_EQ(CompressStr(address, 1, metrics), "...");

    TLinkLabel label;
    label.setText(address);
    label.adjustSize();
    const int full = label.width();
    FitUrlLabel(&label, full + 10);
    EXPECT_EQ(label.text(), address);
    FitUrlLabel(&label, 150);
    EXPECT_TRUE(label.text().endsWith(QLatin1String("...")));
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), 150);
}

TEST(MakeRoundRectForm, CutsTheCornersOnly) {
    QWidget window;
    window.resize(200, 100);
    MakeRoundRectForm(&window, 9);
    const QRegion mask = window.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(199, 99)));
    EXPECT_FALSE(mask.contains(QPoint(199, 0)));
    EXPECT_TRUE(mask.contains(QPoint(100, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, 50)));
    EXPECT_TRUE(mask.contains(QPoint(5, 5)));
    EXPECT_TRUE(mask.contains(QPoint(199, 50)));
}

TEST(SkinArt, EveryFramePictureHasTheSizeItsPlaceNeeds) {
    struct Size {
        const char* Component;
        QSize Expected; // 0: any
    } sizes[] = {{"imgTopLeft", {5, 31}},    {"imgTopRight", {6, 31}}, {"imgBottomLeft", {8, 9}},
                 {"imgBottomRight", {9, 9}}, {"imgIco", {18, 18}},     {"btnMin", {17, 17}},
                 {"btnMax", {17, 17}},       {"btnRestore", {17, 17}}, {"btnCloseMe", {17, 17}},
                 {"btnOkMe", {71, 23}},      {"btnCancelMe", {71, 23}}};
    for (const TSkinPalette& palette : {BuiltInSkinPalette(), BrandSkinPalette("qopa")}) {
        for (const Size& size : sizes)
            EXPECT_EQ(
                DrawSkinPart(QLatin1String(size.Component), QStringLiteral("hot"), palette).size(),
                size.Expected)
                << size.Component;
        EXPECT_EQ(DrawSkinPart(QStringLiteral("imgTop"), {}, palette).height(), 31);
        EXPECT_EQ(DrawSkinPart(QStringLiteral("imgLeft"), {}, palette).width(), 5);
        EXPECT_EQ(DrawSkinPart(QStringLiteral("imgRight"), {}, palette).width(), 6);
        EXPECT_EQ(DrawSkinPart(QStringLiteral("imgBottom"), {}, palette).height(), 6);
        EXPECT_TRUE(DrawSkinPart(QStringLiteral("btnHelp"), {}, palette).isNull());
    }
    // The states of a button differ; the brand's look differs from the built-in one.
    const TSkinPalette qopa = BrandSkinPalette(QStringLiteral("qopa"));
    const QImage normal =
        DrawSkinPart(QStringLiteral("btnCloseMe"), QStringLiteral("normal"), qopa);
    const QImage hot = DrawSkinPart(QStringLiteral("btnCloseMe"), QStringLiteral("hot"), qopa);
    EXPECT_NE(normal.pixel(1, 8), hot.pixel(1, 8));
    EXPECT_NE(DrawSkinPart(QStringLiteral("imgTop"), {}, qopa).pixel(10, 15),
              DrawSkinPart(QStringLiteral("imgTop"), {}, BuiltInSkinPalette()).pixel(10, 15));
    // Every part listed for the skin folder can be drawn, with a distinct file name.
    QStringList names;
    for (const TSkinPart& part : BaseUIFormSkinParts()) {
        EXPECT_FALSE(DrawSkinPart(part.Component, part.State, qopa).isNull())
            << qPrintable(part.Component);
        names << part.FileName(QStringLiteral("TBaseUIForm"));
    }
    EXPECT_TRUE(names.contains("TBaseUIForm.imgTop.jpg"));
    EXPECT_TRUE(names.contains("TBaseUIForm.btnOkMe.hot.bmp"));
    EXPECT_TRUE(names.contains("TBaseUIForm.imgIco.bmp"));
    names.removeDuplicates();
    EXPECT_EQ(names.size(), BaseUIFormSkinParts().size());
}
