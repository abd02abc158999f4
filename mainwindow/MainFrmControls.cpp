// The main window's controls at their design bounds (client area 820 x 570) with their anchors,
// captions, fonts and menus.

#include "mainwindow/MainFrm.h"

#include "ui/UIUtils.h"
#include "widgets/Anchors.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace {

QFont PixelFont(const char* family, int pixels, bool bold = false) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

TSkinButton* MakeToolButton(QWidget* parent, const char* name, const QRect& bounds,
                            const QString& caption, int anchors = akLeftTop) {
    auto* button = new TSkinButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(bounds);
    button->setText(caption);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(PixelFont("Arial", 12));
    SetAnchors(button, anchors);
    return button;
}

QLineEdit* MakeTimeEdit(QWidget* parent, const char* name, const QRect& bounds) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(bounds);
    edit->setInputMask(QStringLiteral("99:99:99.999;_"));
    edit->setMaxLength(12);
    edit->setFont(PixelFont("Arial", 11));
    // The frame in the tool box's colour; white when disabled, as when enabled.
    edit->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid rgb(201, 198, 188);"
                       " background: white; padding: 0px; }"
                       " QLineEdit:disabled { color: #8c8c8c; background: white; }"));
    return edit;
}

QTimer* MakeTimer(QObject* parent, const char* name, int interval) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    return timer;
}

// The menus' pictures: 1 start time, 2 end time, 3 play selection, 4 delete.
QIcon MenuIcon(int index) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor start(40, 150, 70), end(200, 60, 50), play(40, 110, 200);
    switch (index) {
    case 1:   // a bracket opening the clip
    case 2: { // and one closing it
        const bool opening = index == 1;
        painter.setPen(QPen(opening ? start : end, 2));
        const int x = opening ? 4 : 12, tip = opening ? 8 : 3;
        painter.drawLine(x, 2, x, 14);
        painter.drawLine(x, 2, opening ? x + 4 : x - 4, 2);
        painter.drawLine(x, 14, opening ? x + 4 : x - 4, 14);
        painter.setPen(Qt::NoPen);
        painter.setBrush(opening ? start : end);
        const int dir = 1;
        const QPointF arrow[3] = {
            {double(tip), 5.0}, {double(tip + 5 * dir), 8.0}, {double(tip), 11.0}};
        painter.drawPolygon(arrow, 3);
        break;
    }
    case 3: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(play);
        const QPointF triangle[3] = {{4.0, 2.5}, {13.5, 8.0}, {4.0, 13.5}};
        painter.drawPolygon(triangle, 3);
        break;
    }
    default:
        painter.setPen(QPen(end, 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(4, 4, 12, 12);
        painter.drawLine(12, 4, 4, 12);
        break;
    }
    return QIcon(pixmap);
}

// The tool buttons' pictures, drawn above their captions.
enum TToolIcon { tiOpen, tiPlay, tiPause, tiCrop, tiSetting, tiConvert };

QIcon ToolIcon(TToolIcon kind) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(60, 64, 72), accent(40, 110, 200);
    painter.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (kind) {
    case tiOpen: { // a folder
        const QPointF folder[6] = {{2, 5}, {8, 5}, {10, 7}, {18, 7}, {18, 16}, {2, 16}};
        painter.setBrush(QColor(250, 205, 100));
        painter.drawPolygon(folder, 6);
        break;
    }
    case tiPlay: {
        const QPointF triangle[3] = {{6, 3.5}, {16, 10}, {6, 16.5}};
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawPolygon(triangle, 3);
        break;
    }
    case tiPause:
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawRoundedRect(QRectF(5, 4, 3.5, 12), 1, 1);
        painter.drawRoundedRect(QRectF(11.5, 4, 3.5, 12), 1, 1);
        break;
    case tiCrop: // two crop corners
        painter.drawPolyline(QPolygonF({{5, 1.5}, {5, 15}, {18.5, 15}}));
        painter.drawPolyline(QPolygonF({{1.5, 5}, {15, 5}, {15, 18.5}}));
        break;
    case tiSetting: // three sliders
        for (int i = 0; i < 3; ++i) {
            const double y = 4.5 + 5.5 * i;
            painter.drawLine(QPointF(2, y), QPointF(18, y));
            painter.setBrush(Qt::white);
            painter.drawEllipse(QPointF(i == 1 ? 13 : 7, y), 2.2, 2.2);
        }
        break;
    case tiConvert: // a film frame turning into a picture
        painter.drawRoundedRect(QRectF(1.5, 4, 9, 12), 1.5, 1.5);
        painter.setPen(QPen(accent, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(QPointF(11, 10), QPointF(18, 10));
        painter.drawPolyline(QPolygonF({{15, 7}, {18, 10}, {15, 13}}));
        break;
    }
    return QIcon(pixmap);
}

} // namespace

void TMainForm::BuildControls() {
    // The window frame and the title bar.
    AdoptFrameImages(*this, CreateFrameImages(this, QSize(DesignWidth, DesignHeight)));

    lblCaption = new QLabel(this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setFont(PixelFont("Arial", 13, true));
    QPalette captionPalette = lblCaption->palette();
    captionPalette.setColor(QPalette::WindowText, Qt::white);
    lblCaption->setPalette(captionPalette);
    lblCaption->setAttribute(Qt::WA_TranslucentBackground);
    lblCaption->move(34, 8);

    btnMin = CreateSkinButton(this, "btnMin", QRect(743, 8, 17, 17), akTop | akRight);
    btnRestore = CreateSkinButton(this, "btnRestore", QRect(766, 8, 17, 17), akTop | akRight);
    btnMax = CreateSkinButton(this, "btnMax", QRect(766, 8, 17, 17), akTop | akRight);
    btnClose = CreateSkinButton(this, "btnCloseMe", QRect(789, 8, 17, 17), akTop | akRight);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnMin->setToolTip(QStringLiteral("Minimize"));
    btnMax->setToolTip(QStringLiteral("Maximize"));
    btnRestore->setToolTip(QStringLiteral("Restore"));
    btnClose->setToolTip(QStringLiteral("Close"));
    for (TSkinButton* button : {btnMin, btnRestore, btnMax, btnClose})
        button->setFocusPolicy(Qt::NoFocus);

    // The second bar: Options on the left, Help on the right.
    Image1 = new TSkinImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(5, 31, 809, 27);
    Image1->SetStretch(true);
    QImage barPicture(1, 27, QImage::Format_RGB32);
    for (int y = 0; y < 27; ++y)
        barPicture.setPixel(0, y, qRgb(250 - y, 250 - y, 249 - y));
    Image1->SetPicture(barPicture);
    SetAnchors(Image1, akLeft | akTop | akRight);
    btnOptions =
        MakeToolButton(this, "btnOptions", QRect(5, 31, 75, 26), QStringLiteral("Options"));
    btnHelp = MakeToolButton(this, "btnHelp", QRect(739, 31, 75, 26), QStringLiteral("Help"),
                             akTop | akRight);
    for (TSkinButton* button : {btnOptions, btnHelp}) {
        button->setFont(PixelFont("Arial", 12, true));
        button->SetTextColor(QColor(47, 47, 47));
    }
    btnOptions->SetStretchMargins(10, 10);
    btnHelp->SetStretchMargins(28, 10);
    btnHelp->SetTextOffset(8);
    Image2 = new TSkinImage(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(80, 31, 1, 26);
    Image2->SetStretch(true);
    QImage separator(1, 1, QImage::Format_RGB32);
    separator.fill(QColor(201, 198, 188));
    Image2->SetPicture(separator);

    BuildPlayerControls();
    BuildStripControls();
    BuildToolControls();
    BuildMenus();
}

void TMainForm::BuildPlayerControls() {
    pnlPlayer = new TFlatPanel(this);
    pnlPlayer->setObjectName(QStringLiteral("pnlPlayer"));
    pnlPlayer->setGeometry(10, 64, 798, 265);
    pnlPlayer->SetColor(Qt::black);
    SetAnchors(pnlPlayer, akAll);
    pnlShot = new TFlatPanel(this);
    pnlShot->setObjectName(QStringLiteral("pnlShot"));
    pnlShot->setGeometry(pnlPlayer->geometry());
    pnlShot->SetColor(Qt::black);
    pnlShot->hide();
    SetAnchors(pnlShot, akAll);

    TrackBar = new TTrackBar(this);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setGeometry(8, 336, 714, 16);
    TrackBar->setRange(0, 100);
    TrackBar->setTickPosition(QSlider::NoTicks);
    TrackBar->setFocusPolicy(Qt::NoFocus);
    TrackBar->setEnabled(false);
    SetAnchors(TrackBar, akLeft | akRight | akBottom);

    lblDuration = new QLabel(QStringLiteral("00:00:00.000"), this);
    lblDuration->setObjectName(QStringLiteral("lblDuration"));
    lblDuration->setFont(PixelFont("Arial", 12));
    lblDuration->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Right-aligned: its text ends just left of the information button.
    lblDuration->setGeometry(705, 336, 84, 16);
    // Its box reaches over the track bar's right end, where the thumb stands at the end of the
    // video: the thumb must still take the mouse there.
    lblDuration->setAttribute(Qt::WA_TransparentForMouseEvents);
    SetAnchors(lblDuration, akRight | akBottom);
    btnInfo = MakeToolButton(this, "btnInfo", QRect(792, 335, 16, 16), QStringLiteral("i"),
                             akRight | akBottom);
    btnInfo->setFont(PixelFont("Arial", 11, true));
}

void TMainForm::BuildStripControls() {
    pnlView = new TFlatPanel(this);
    pnlView->setObjectName(QStringLiteral("pnlView"));
    pnlView->setGeometry(10, 357, 798, 123);
    pnlView->SetColor(QColor(243, 243, 243));
    pnlView->SetBorderColor(QColor(223, 223, 223));
    pnlView->SetBorderWidth(1);
    SetAnchors(pnlView, akLeft | akRight | akBottom);
    btnPriorMore = MakeToolButton(pnlView, "btnPriorMore", QRect(0, 0, 24, 123),
                                  QStringLiteral("<"), akLeft | akBottom);
    btnPriorMore->setToolTip(QStringLiteral("Last group"));
    btnNextMore = MakeToolButton(pnlView, "btnNextMore", QRect(774, 0, 24, 123),
                                 QStringLiteral(">"), akRight | akBottom);
    btnNextMore->setToolTip(QStringLiteral("Next group"));

    ShotView = new TThumbStrip(pnlView);
    ShotView->setObjectName(QStringLiteral("ShotView"));
    ShotView->setGeometry(28, 1, 742, 121);
    ShotView->SetThumbSize(128, 72);
    ShotView->SetMultiSelect(true);
    ShotView->SetShowCaption(false);
    ShotView->SetSpacing(0, 20);
    ShotView->SetColor(15987699);
    ShotView->setFont(PixelFont("Tahoma", 15));
    ShotView->setContextMenuPolicy(Qt::CustomContextMenu);
    SetAnchors(ShotView, akLeft | akTop | akRight);

    lblProgress = new QLabel(pnlView);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setAlignment(Qt::AlignCenter);
    lblProgress->setFont(PixelFont("Arial", 11));
    lblProgress->setAutoFillBackground(true);
    QPalette progressPalette = lblProgress->palette();
    progressPalette.setColor(QPalette::WindowText, Qt::black);
    progressPalette.setColor(QPalette::Window, QColor(243, 243, 243));
    lblProgress->setPalette(progressPalette);
    lblProgress->resize(69, 14);
    lblProgress->hide();
}

void TMainForm::BuildToolControls() {
    gbTool = new TFlatGroupBox(QString(), this);
    gbTool->setObjectName(QStringLiteral("gbTool"));
    gbTool->setGeometry(64, 488, 686, 76);
    gbTool->SetFrameColor(QColor(201, 198, 188));
    SetAnchors(gbTool, akLeft | akBottom);
    Button1 = MakeToolButton(gbTool, "Button1", QRect(16, 17, 82, 50), QStringLiteral("Open"));
    btnPlay = MakeToolButton(gbTool, "btnPlay", QRect(104, 17, 82, 50), QStringLiteral("Play"));
    btnPause = MakeToolButton(gbTool, "btnPause", QRect(104, 17, 82, 50), QStringLiteral("Pause"));
    btnPause->hide();
    btnMore = MakeToolButton(gbTool, "btnMore", QRect(182, 17, 20, 50), QStringLiteral("..."));
    btnMore->setToolTip(QStringLiteral("More actions"));
    btnStart = MakeToolButton(gbTool, "btnStart", QRect(212, 17, 53, 22), QStringLiteral("Start"));
    btnEnd = MakeToolButton(gbTool, "btnEnd", QRect(212, 45, 53, 22), QStringLiteral("End"));
    edtStart = MakeTimeEdit(gbTool, "edtStart", QRect(272, 17, 71, 22));
    edtEnd = MakeTimeEdit(gbTool, "edtEnd", QRect(272, 45, 71, 22));
    btnCrop = MakeToolButton(gbTool, "btnCrop", QRect(352, 17, 82, 50), QStringLiteral("Crop"));
    btnSetting =
        MakeToolButton(gbTool, "btnSetting", QRect(440, 17, 82, 50), QStringLiteral("Setting"));
    btnConvert =
        MakeToolButton(gbTool, "btnConvert", QRect(528, 17, 82, 50), QStringLiteral("Convert"));
    spToolbar = new TSeparator(Qt::Vertical, gbTool);
    spToolbar->setObjectName(QStringLiteral("spToolbar"));
    spToolbar->setGeometry(618, 26, 1, 32);
    spToolbar->SetColor(QColor(192, 192, 192));
    btnPriorFrame =
        MakeToolButton(gbTool, "btnPriorFrame", QRect(628, 17, 20, 50), QStringLiteral("<"));
    btnPriorFrame->setToolTip(QStringLiteral("Last frame"));
    btnNextFrame =
        MakeToolButton(gbTool, "btnNextFrame", QRect(651, 17, 20, 50), QStringLiteral(">"));
    btnNextFrame->setToolTip(QStringLiteral("Next frame"));
    // The size of the GIF Convert would make, in the free strip along the box's top edge, ending
    // over the frame buttons.
    lblEstimate = new QLabel(gbTool);
    lblEstimate->setObjectName(QStringLiteral("lblEstimate"));
    lblEstimate->setGeometry(300, 1, 371, 15);
    lblEstimate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    {
        QPalette palette = lblEstimate->palette();
        palette.setColor(QPalette::WindowText, QColor(90, 90, 90));
        lblEstimate->setPalette(palette);
        QFont font = lblEstimate->font();
        font.setPixelSize(11);
        lblEstimate->setFont(font);
    }
    lblEstimate->setAccessibleName(QStringLiteral("GIF size estimate"));
    PaintBox1 = new TPaintBox(gbTool);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(0, 74, 686, 3);
    SetAnchors(PaintBox1, akLeft | akRight | akBottom);

    const std::pair<TSkinButton*, TToolIcon> icons[] = {
        {Button1, tiOpen}, {btnPlay, tiPlay},       {btnPause, tiPause},
        {btnCrop, tiCrop}, {btnSetting, tiSetting}, {btnConvert, tiConvert}};
    for (const auto& [button, kind] : icons) {
        button->setIcon(ToolIcon(kind));
        button->setIconSize(QSize(20, 20));
    }

    tmTrackBar = MakeTimer(this, "tmTrackBar", 500);
    tmClip = MakeTimer(this, "tmClip", 1000);
    tmAutoNext = MakeTimer(this, "tmAutoNext", 500);
}

void TMainForm::BuildMenus() {
    pmShotView = new QMenu(this);
    pmShotView->setObjectName(QStringLiteral("pmShotView"));
    pmiDelete = pmShotView->addAction(QStringLiteral("Delete"));
    pmiRestore = pmShotView->addAction(QStringLiteral("Restore"));
    pmShotView->addSeparator();
    pmiStartTime = pmShotView->addAction(QStringLiteral("Set as start frame"));
    pmiEndTime = pmShotView->addAction(QStringLiteral("Set as end frame"));

    pmToolbar = new QMenu(this);
    pmToolbar->setObjectName(QStringLiteral("pmToolbar"));
    pmiPlaySelect = pmToolbar->addAction(QStringLiteral("Play selection"));
    pmiLocateStart = pmToolbar->addAction(QStringLiteral("Locate start time"));
    pmiLocateEnd = pmToolbar->addAction(QStringLiteral("Locate end time"));
    pmToolbar->addSeparator();
    pmiLoopEnd = pmToolbar->addAction(QStringLiteral("Find seamless loop end"));
    pmiLoopStart = pmToolbar->addAction(QStringLiteral("Find seamless loop start"));
    pmiTrimStill = pmToolbar->addAction(QStringLiteral("Trim still start and end"));

    pmHelp = new QMenu(this);
    pmHelp->setObjectName(QStringLiteral("pmHelp"));
    pmiHelp = pmHelp->addAction(QStringLiteral("Help Content"));
    pmiSupport = pmHelp->addAction(QStringLiteral("Support Center"));
    pmRelated = new QMenu(QStringLiteral("Related Software"), pmHelp);
    pmiRelated = pmHelp->addMenu(pmRelated);
    pmiRelated->setVisible(false);
    N1 = pmHelp->addSeparator();
    Option1 = pmHelp->addAction(QStringLiteral("Options..."));
    Option1->setVisible(false);
    About1 = pmHelp->addAction(QStringLiteral("About..."));
    pmiStartTime->setIcon(MenuIcon(1));
    pmiLocateStart->setIcon(MenuIcon(1));
    pmiEndTime->setIcon(MenuIcon(2));
    pmiLocateEnd->setIcon(MenuIcon(2));
    pmiPlaySelect->setIcon(MenuIcon(3));
    pmiDelete->setIcon(MenuIcon(4));
    pmiDelete->setObjectName(QStringLiteral("pmiDelete"));
    pmiRestore->setObjectName(QStringLiteral("pmiRestore"));
    pmiStartTime->setObjectName(QStringLiteral("pmiStartTime"));
    pmiEndTime->setObjectName(QStringLiteral("pmiEndTime"));
    pmiPlaySelect->setObjectName(QStringLiteral("pmiPlaySelect"));
    pmiLocateStart->setObjectName(QStringLiteral("pmiLocateStart"));
    pmiLocateEnd->setObjectName(QStringLiteral("pmiLocateEnd"));
    pmiHelp->setObjectName(QStringLiteral("pmiHelp"));
    pmiSupport->setObjectName(QStringLiteral("pmiSupport"));
    Option1->setObjectName(QStringLiteral("Option1"));
    About1->setObjectName(QStringLiteral("About1"));
}
