// The output settings dialog: its pages and controls.

#include "dialogs/SettingFrm.h"

#include "dialogs/DialogBuild.h"
#include "dialogs/DialogRules.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/FlatControls.h"
#include "widgets/NumberEdit.h"
#include "widgets/RangeSpinBox.h"
#include "widgets/SkinButton.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

namespace {

const QStringList SettingSizeItems = {
    QStringLiteral("Original size"), QStringLiteral("1/2 Original size"),
    QStringLiteral("1/4 Original size"), QStringLiteral("Custom")};
const QStringList SettingFrameRateItems = {
    QStringLiteral("4"),  QStringLiteral("8"),  QStringLiteral("12"), QStringLiteral("15"),
    QStringLiteral("20"), QStringLiteral("24"), QStringLiteral("25"), QStringLiteral("30")};
const QStringList RotateItems = {QStringLiteral("None"), QStringLiteral("90 degrees"),
                                 QStringLiteral("180 degrees"), QStringLiteral("270 degrees")};

// The glyphs of the picture buttons: the font button's letter and the three alignments.
enum TGlyph { gFont, gAlignLeft, gAlignCenter, gAlignRight };

QIcon GlyphIcon(TGlyph glyph) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(52, 58, 64);
    if (glyph == gFont) {
        QFont font(QStringLiteral("Liberation Serif"));
        font.setPixelSize(26);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(ink);
        painter.drawText(QRect(0, 0, 32, 30), Qt::AlignCenter, QStringLiteral("A"));
        painter.fillRect(QRect(6, 27, 20, 4), QColor(220, 40, 40));
        return QIcon(pixmap);
    }
    // Four lines of text, set left, centred or right.
    const int widths[] = {24, 16, 22, 12};
    for (int i = 0; i < 4; ++i) {
        const int w = widths[i];
        const int x = glyph == gAlignLeft ? 4 : glyph == gAlignRight ? 28 - w : (32 - w) / 2;
        painter.fillRect(QRect(x, 6 + i * 6, w, 3), ink);
    }
    return QIcon(pixmap);
}

QToolButton* MakeToolButton(QWidget* parent, const QString& name, const QString& hint,
                            const QRect& bounds) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    // Its caption is a symbol or a picture: screen readers say the hint.
    button->setAccessibleName(hint);
    button->setGeometry(bounds);
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

const char* TSettingForm::PictureFilter =
    "Image files (*.bmp *.dib *.jpg *.jpeg *.jpe *.jfif *.tif *.tiff *.png *.gif);;All(*.*) (*)";

TSettingForm::TSettingForm(QWidget* parent) : TBaseUIForm(parent) {
    setObjectName(QStringLiteral("TSettingForm"));
    resize(ClientWidth, ClientHeight);
    SetCaption(QStringLiteral("Output settings"));
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(12, 40, ClientWidth - 24, ClientHeight - 92);
    BuildGeneralPage();
    BuildTextPage();
    BuildLogoPage();
    BuildFlipPage();
    BuildSequencePage();
    ConnectEstimate();
    // Reading order, page by page; Tab passes over the pages that are not shown.
    SetTabChain({PageControl1,  edtW,       edtH,        cbSize,     cbFrameRate,  cbLoop,
                 cbSpeed,       edtQuality, cbFormat,    edtMaxSize, lbText,       mmText,
                 btnAddText,    btnDelText, btnTextFont, cgText,     btnAlignLeft, btnAlignCenter,
                 btnAlignRight, edtTextX,   edtTextY,    cbxLogo,    edtLogo,      edtLogoButton,
                 edtLogoW,      edtLogoH,   edtLogoX,    edtLogoY,   cbxFlipH,     cbxFlipV,
                 cbRotate,      rbOriginal, rbReverse,   rbPingPong, btnOkMe,      btnCancelMe});
    FormCreate();
    PageControl1->setCurrentIndex(LastPage());
}

void TSettingForm::BuildGeneralPage() {
    auto* page = new QWidget;
    PageControl1->addTab(page, QStringLiteral("General"));
    TFlatGroupBox* size = MakeGroup(page, QStringLiteral("Output size"), QRect(10, 10, 456, 66));
    QLabel* sizeLabel = MakeLabel(size, QStringLiteral("Size"), 16, 30);
    edtW = MakeIntEdit(size, QStringLiteral("edtW"), QRect(60, 26, 64, 22));
    MakeLabel(size, QStringLiteral("x"), 131, 30);
    edtH = MakeIntEdit(size, QStringLiteral("edtH"), QRect(144, 26, 64, 22));
    cbSize =
        MakeCombo(size, QStringLiteral("cbSize"), SettingSizeItems, false, QRect(230, 26, 170, 22));
    // "Size" names the choice of size; the edits say which side they hold.
    sizeLabel->setBuddy(cbSize);
    edtW->setAccessibleName(QStringLiteral("Width"));
    edtH->setAccessibleName(QStringLiteral("Height"));
    connect(cbSize, &QComboBox::currentIndexChanged, this, &TSettingForm::cbSizeChange);

    TFlatGroupBox* gif = MakeGroup(page, QStringLiteral("GIF settings"), QRect(10, 88, 456, 100));
    QLabel* frameRate = MakeLabel(gif, QStringLiteral("Frame rate"), 16, 30);
    cbFrameRate = MakeCombo(gif, QStringLiteral("cbFrameRate"), SettingFrameRateItems, true,
                            QRect(100, 26, 80, 22));
    frameRate->setBuddy(cbFrameRate);
    MakeLabel(gif, QStringLiteral("fps"), 186, 30);
    QLabel* replay = MakeLabel(gif, QStringLiteral("Replay times"), 230, 30);
    cbLoop =
        MakeCombo(gif, QStringLiteral("cbLoop"), ReplayListItems(), true, QRect(320, 26, 110, 22));
    replay->setBuddy(cbLoop);
    QLabel* speed = MakeLabel(gif, QStringLiteral("GIF speed"), 16, 66);
    cbSpeed =
        MakeCombo(gif, QStringLiteral("cbSpeed"), SpeedListItems(), true, QRect(100, 62, 130, 22));
    speed->setBuddy(cbSpeed);
    connect(cbSpeed->lineEdit(), &QLineEdit::editingFinished, this, &TSettingForm::cbSpeedExit);
    connect(cbLoop->lineEdit(), &QLineEdit::editingFinished, this, &TSettingForm::cbLoopExit);
    BuildLimitControls(page, gif);
}

// The quality beside the GIF speed; the format, the size limit and the estimate in the free row
// under the GIF settings.
void TSettingForm::BuildLimitControls(QWidget* page, QWidget* gifGroup) {
    QLabel* quality = MakeLabel(gifGroup, QStringLiteral("Quality"), 244, 66);
    edtQuality = new TRangeSpinBox(gifGroup);
    quality->setBuddy(edtQuality);
    edtQuality->setObjectName(QStringLiteral("edtQuality"));
    edtQuality->SetAllowedRange(1, 100);
    edtQuality->setGeometry(320, 62, 110, 22);
    edtQuality->setToolTip(QStringLiteral("1 gives the smallest GIF, 100 the most faithful"));

    TFlatGroupBox* file = MakeGroup(page, QStringLiteral("File"), QRect(10, 196, 456, 48));
    QLabel* format = MakeLabel(file, QStringLiteral("Format"), 16, 22);
    QStringList formats;
    for (const TOutputFormat kind : OutputFormats)
        formats << FormatName(kind);
    cbFormat = MakeCombo(file, QStringLiteral("cbFormat"), formats, false, QRect(66, 18, 70, 22));
    cbFormat->setToolTip(QStringLiteral("GIF; animated WebP, a third of the size or less; MP4 "
                                        "(H.264 video), a tenth or less"));
    format->setBuddy(cbFormat);
    // The list is as wide as its names, wider than the box.
    cbFormat->view()->setMinimumWidth(cbFormat->view()->sizeHintForColumn(0) + 24);
    QLabel* limit = MakeLabel(file, QStringLiteral("Size limit"), 148, 22);
    edtMaxSize = new QLineEdit(file);
    limit->setBuddy(edtMaxSize);
    edtMaxSize->setObjectName(QStringLiteral("edtMaxSize"));
    edtMaxSize->setGeometry(208, 18, 66, 22);
    edtMaxSize->setPlaceholderText(QStringLiteral("none"));
    edtMaxSize->setToolTip(QStringLiteral("The largest the file may be, e.g. 8M; empty: no limit"));
    lblMaxSizeHint = MakeLabel(file, QStringLiteral("e.g. 8M, 2.5MB, 500KB or 8MiB; empty: none"),
                               282, 12, QStringLiteral("lblMaxSizeHint"));
    lblMaxSizeHint->setWordWrap(true);
    lblMaxSizeHint->setGeometry(282, 12, 168, 32);
    BuildEstimate(file);
}

void TSettingForm::BuildTextPage() {
    auto* page = new QWidget;
    PageControl1->addTab(page, QStringLiteral("Add Text"));
    QLabel* list = MakeLabel(page, QStringLiteral("Text list"), 10, 8);
    lbText = new QListWidget(page);
    lbText->setObjectName(QStringLiteral("lbText"));
    list->setBuddy(lbText);
    lbText->setAccessibleName(list->text()); // a list view takes no name from its label
    lbText->setGeometry(10, 26, 110, 160);
    connect(lbText, &QListWidget::currentRowChanged, this, &TSettingForm::lbTextClick);
    mmText = new QPlainTextEdit(page);
    mmText->setObjectName(QStringLiteral("mmText"));
    mmText->setGeometry(128, 26, 338, 160);
    mmText->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmText->setAccessibleName(QStringLiteral("Text"));
    // Tab leaves the caption for the next control (a tab character has no use in a caption).
    mmText->setTabChangesFocus(true);
    BuildTextButtons(page);
}

void TSettingForm::BuildTextButtons(QWidget* page) {
    const int y = 196;
    btnAddText = MakeToolButton(page, QStringLiteral("btnAddText"), QStringLiteral("Add"),
                                QRect(10, y, 26, 24));
    btnAddText->setText(QStringLiteral("+"));
    btnDelText = MakeToolButton(page, QStringLiteral("btnDelText"), QStringLiteral("Delete"),
                                QRect(40, y, 26, 24));
    btnDelText->setText(QStringLiteral("-"));
    btnTextFont = MakeToolButton(page, QStringLiteral("btnTextFont"), QStringLiteral("Font"),
                                 QRect(128, y, 28, 24));
    btnTextFont->setIcon(GlyphIcon(gFont));
    cgText = new TColorSwatchControl(page);
    cgText->setObjectName(QStringLiteral("cgText"));
    cgText->setToolTip(QStringLiteral("Color"));
    cgText->setAccessibleName(QStringLiteral("Color"));
    cgText->setGeometry(160, y, 44, 24);
    btnAlignLeft = MakeToolButton(page, QStringLiteral("btnAlignLeft"), QStringLiteral("Left"),
                                  QRect(212, y, 26, 24));
    btnAlignCenter = MakeToolButton(page, QStringLiteral("btnAlignCenter"),
                                    QStringLiteral("Center"), QRect(240, y, 26, 24));
    btnAlignRight = MakeToolButton(page, QStringLiteral("btnAlignRight"), QStringLiteral("Right"),
                                   QRect(268, y, 26, 24));
    const std::pair<QToolButton*, TGlyph> aligns[] = {
        {btnAlignLeft, gAlignLeft}, {btnAlignCenter, gAlignCenter}, {btnAlignRight, gAlignRight}};
    for (const auto& [button, glyph] : aligns) {
        button->setIcon(GlyphIcon(glyph));
        button->setCheckable(true);
        button->setAutoExclusive(true);
    }
    btnAlignRight->setChecked(true);
    QLabel* position = MakeLabel(page, QStringLiteral("Position   X:"), 304, y + 4);
    edtTextX = MakeIntEdit(page, QStringLiteral("edtTextX"), QRect(372, y, 38, 22));
    Label9 = MakeLabel(page, QStringLiteral("Y:"), 414, y + 4, QStringLiteral("Label9"));
    edtTextY = MakeIntEdit(page, QStringLiteral("edtTextY"), QRect(428, y, 38, 22));
    position->setBuddy(edtTextX);
    Label9->setBuddy(edtTextY);
    edtTextX->setAccessibleName(QStringLiteral("Position X"));
    edtTextY->setAccessibleName(QStringLiteral("Position Y"));
    connect(btnAddText, &QToolButton::clicked, this, &TSettingForm::btnAddTextClick);
    connect(btnDelText, &QToolButton::clicked, this, &TSettingForm::btnDelTextClick);
    connect(btnTextFont, &QToolButton::clicked, this, &TSettingForm::btnTextFontClick);
    connect(cgText, &TColorSwatchControl::Changed, this, &TSettingForm::cgTextChanged);
}

void TSettingForm::BuildLogoPage() {
    auto* page = new QWidget;
    PageControl1->addTab(page, QStringLiteral("Logo"));
    cbxLogo = MakeCheck(page, QStringLiteral("cbxLogo"), QStringLiteral("Use custom logo"),
                        QRect(10, 10, 150, 20));
    connect(cbxLogo, &QCheckBox::clicked, this, &TSettingForm::cbxLogoClick);
    pnlLogo = new QWidget(page);
    pnlLogo->setObjectName(QStringLiteral("pnlLogo"));
    pnlLogo->setGeometry(10, 36, 456, 120);
    QLabel* logo = MakeLabel(pnlLogo, QStringLiteral("Logo"), 6, 12);
    edtLogo = new QLineEdit(pnlLogo);
    edtLogo->setObjectName(QStringLiteral("edtLogo"));
    logo->setBuddy(edtLogo);
    edtLogo->setGeometry(70, 8, 346, 22);
    edtLogoButton = MakeToolButton(pnlLogo, QStringLiteral("edtLogoButton"),
                                   QStringLiteral("Browse"), QRect(420, 8, 28, 22));
    edtLogoButton->setText(QStringLiteral("..."));
    connect(edtLogoButton, &QToolButton::clicked, this, &TSettingForm::edtLogoButtonClick);
    QLabel* logoSize = MakeLabel(pnlLogo, QStringLiteral("Size"), 6, 48);
    edtLogoW = MakeIntEdit(pnlLogo, QStringLiteral("edtLogoW"), QRect(70, 44, 64, 22));
    MakeLabel(pnlLogo, QStringLiteral("x"), 141, 48);
    edtLogoH = MakeIntEdit(pnlLogo, QStringLiteral("edtLogoH"), QRect(154, 44, 64, 22));
    MakeLabel(pnlLogo, QStringLiteral("Position"), 6, 84);
    QLabel* logoX = MakeLabel(pnlLogo, QStringLiteral("X:"), 70, 84);
    edtLogoX = MakeIntEdit(pnlLogo, QStringLiteral("edtLogoX"), QRect(88, 80, 64, 22));
    QLabel* logoY = MakeLabel(pnlLogo, QStringLiteral("Y:"), 162, 84);
    edtLogoY = MakeIntEdit(pnlLogo, QStringLiteral("edtLogoY"), QRect(180, 80, 64, 22));
    logoSize->setBuddy(edtLogoW);
    logoX->setBuddy(edtLogoX);
    logoY->setBuddy(edtLogoY);
    const std::pair<TNumberEdit*, const char*> names[] = {{edtLogoW, "Logo width"},
                                                          {edtLogoH, "Logo height"},
                                                          {edtLogoX, "Logo position X"},
                                                          {edtLogoY, "Logo position Y"}};
    for (const auto& [edit, name] : names)
        edit->setAccessibleName(QString::fromLatin1(name));
}

void TSettingForm::BuildFlipPage() {
    auto* page = new QWidget;
    PageControl1->addTab(page, QStringLiteral("Flip && Rotate"));
    cbxFlipH = MakeCheck(page, QStringLiteral("cbxFlipH"), QStringLiteral("Flip Horizontally"),
                         QRect(10, 12, 140, 20));
    cbxFlipV = MakeCheck(page, QStringLiteral("cbxFlipV"), QStringLiteral("Flip Vertically"),
                         QRect(10, 40, 140, 20));
    QLabel* rotate = MakeLabel(page, QStringLiteral("Rotate:"), 10, 76);
    cbRotate =
        MakeCombo(page, QStringLiteral("cbRotate"), RotateItems, false, QRect(10, 94, 130, 22));
    cbRotate->setCurrentIndex(0);
    rotate->setBuddy(cbRotate);
    pnlPreview = new TFlatPanel(page);
    pnlPreview->setObjectName(QStringLiteral("pnlPreview"));
    pnlPreview->setAccessibleName(QStringLiteral("Preview"));
    pnlPreview->setGeometry(158, 8, 307, 204);
    pnlPreview->SetColor(Qt::black);
    pnlPreview->OnPaint = [this](QPainter& painter) { pnlPreviewPaint(painter); };
    connect(cbxFlipH, &QCheckBox::clicked, this, &TSettingForm::cbxFlipHClick);
    connect(cbxFlipV, &QCheckBox::clicked, this, &TSettingForm::cbxFlipHClick);
    connect(cbRotate, &QComboBox::currentIndexChanged, this, &TSettingForm::cbxFlipHClick);
}

void TSettingForm::BuildSequencePage() {
    auto* page = new QWidget;
    PageControl1->addTab(page, QStringLiteral("Sequence"));
    rbOriginal = MakeRadio(page, QStringLiteral("rbOriginal"), QStringLiteral("Original"),
                           QRect(20, 20, 300, 20));
    rbReverse = MakeRadio(page, QStringLiteral("rbReverse"), QStringLiteral("Reverse Order"),
                          QRect(20, 50, 300, 20));
    rbPingPong = MakeRadio(page, QStringLiteral("rbPingPong"),
                           QStringLiteral("Ping-Pong Seamless Loop"), QRect(20, 80, 300, 20));
    rgSequence = new QButtonGroup(this);
    rgSequence->addButton(rbOriginal, 0);
    rgSequence->addButton(rbReverse, 1);
    rgSequence->addButton(rbPingPong, 2);
    rbOriginal->setChecked(true);
}

void TSettingForm::AdjustForDpi() {
    TBaseUIForm::AdjustForDpi();
    cbxLogo->resize(cbxLogo->width() + 12, cbxLogo->height());
    for (TNumberEdit* edit : {edtLogoX, edtLogoY})
        edit->setGeometry(edit->x() + 6, edit->y(), edit->width() - 6, edit->height());
    edtTextX->move(edtTextX->x() + 5, edtTextX->y());
    Label9->move(Label9->x() + 4, Label9->y());
}
