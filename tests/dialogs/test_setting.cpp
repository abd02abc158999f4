// The output settings dialog driven offscreen: load and store of every control, the caption
// rows and their ownership, the size box, the speed and replay boxes, the quality and size limit,
// the logo page, the flip and rotation preview, the remembered page and the high-DPI nudges, and
// the values no GIF can hold refused at OK.

#include "common/MsgBox.h"
#include "dialogs/FontColorDialog.h"
#include "dialogs/SettingFrm.h"
#include "engine/Video2Gif.h"
#include "project/VGProject.h"
#include "tests/dialogs/DialogTestUtils.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/NumberEdit.h"
#include "widgets/RangeSpinBox.h"
#include "widgets/SkinButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

class SettingFormTest : public SettingDialogTest {
protected:
    // 2 s of the film, which the estimates are worked out on.
    void UseFilmClip() {
        Project.VideoFile = QStringLiteral(VG_MEDIA_DIR "/bbb-h264-854x480-30s.mp4");
        Project.VideoWidth = 854;
        Project.VideoHeight = 480;
        Project.CropRect = {0, 0, 854, 480};
        Project.StartPTS = 5000000;
        Project.EndPTS = 7000000;
    }
};

} // namespace

TEST_F(SettingFormTest, LoadsEveryField) {
    Project.SizeStyle = ssCustom;
    Project.CustomWidth = 300;
    Project.CustomHeight = 200;
    Project.GifFPS = 12;
    Project.GifSpeed = 0.5;
    Project.GifLoop = 2;
    Project.Logo = {};
    Project.Logo.Enabled = false;
    Project.Logo.FileName = QStringLiteral("/x/logo.png");
    Project.Logo.Width = 40;
    Project.Logo.Height = 30;
    Project.Logo.X = 5;
    Project.Logo.Y = 6;
    Project.Flip = static_cast<decltype(Project.Flip)>(3);
    Project.Rotate = 2;
    Project.Sequence = static_cast<decltype(Project.Sequence)>(2);
    const auto form = Open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Output settings"));
    EXPECT_EQ(form->edtW->text(), QStringLiteral("300"));
    EXPECT_EQ(form->edtH->text(), QStringLiteral("200"));
    EXPECT_EQ(form->cbSize->currentIndex(), 3);
    EXPECT_TRUE(form->edtW->isEnabled());
    EXPECT_EQ(form->cbFrameRate->currentText(), QStringLiteral("12"));
    EXPECT_EQ(form->cbSpeed->currentText(), QStringLiteral("50%"));
    EXPECT_EQ(form->cbLoop->currentText(), QStringLiteral("2"));
    EXPECT_FALSE(form->cbxLogo->isChecked());
    EXPECT_FALSE(form->edtLogo->isEnabled());
    EXPECT_FALSE(form->edtLogoX->isEnabled());
    EXPECT_EQ(form->edtLogo->text(), QStringLiteral("/x/logo.png"));
    EXPECT_EQ(form->edtLogoW->text() + form->edtLogoH->text() + form->edtLogoX->text() +
                  form->edtLogoY->text(),
              QStringLiteral("403056"));
    EXPECT_TRUE(form->cbxFlipH->isChecked());
    EXPECT_TRUE(form->cbxFlipV->isChecked());
    EXPECT_EQ(form->cbRotate->currentIndex(), 2);
    EXPECT_TRUE(form->rbPingPong->isChecked());
    const QStringList pages = {QStringLiteral("General"), QStringLiteral("Add Text"),
                               QStringLiteral("Logo"), QStringLiteral("Flip && Rotate"),
                               QStringLiteral("Sequence")};
    for (int i = 0; i < pages.size(); ++i)
        EXPECT_EQ(form->PageControl1->tabText(i), pages[i]);
}

TEST_F(SettingFormTest, OkStoresEveryField) {
    Project.SizeStyle = ssHalf;
    WhenShown<TSettingForm>([](TSettingForm* form) {
        form->cbSize->setCurrentIndex(3);
        form->edtW->setText(QStringLiteral("123"));
        form->edtH->setText(QStringLiteral("45"));
        form->cbFrameRate->setEditText(QStringLiteral("15"));
        form->cbSpeed->setEditText(QStringLiteral("150%"));
        form->cbLoop->setEditText(QStringLiteral("0"));
        form->cbxLogo->click();
        form->edtLogo->setText(QStringLiteral("/x/y.png"));
        form->edtLogoW->setText(QStringLiteral("7"));
        form->edtLogoH->setText(QStringLiteral("8"));
        form->edtLogoX->setText(QStringLiteral("word"));
        form->edtLogoY->setText(QStringLiteral("10"));
        form->cbxFlipV->click();
        form->cbRotate->setCurrentIndex(3);
        form->rbReverse->click();
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(Project.SizeStyle, ssCustom);
    EXPECT_EQ(Project.CustomWidth, 123);
    EXPECT_EQ(Project.CustomHeight, 45);
    EXPECT_EQ(Project.GifFPS, 15);
    EXPECT_DOUBLE_EQ(Project.GifSpeed, 1.5);
    EXPECT_EQ(Project.GifLoop, 0);
    EXPECT_TRUE(Project.Logo.Enabled);
    EXPECT_EQ(Project.Logo.FileName, QStringLiteral("/x/y.png"));
    EXPECT_EQ(Project.Logo.Width, 7);
    EXPECT_EQ(Project.Logo.Height, 8);
    EXPECT_EQ(Project.Logo.X, 0);
    EXPECT_EQ(Project.Logo.Y, 10);
    EXPECT_EQ(int(Project.Flip), 2);
    EXPECT_EQ(Project.Rotate, 3);
    EXPECT_EQ(int(Project.Sequence), 1);
}

TEST_F(SettingFormTest, NonCustomStyleLeavesTheCustomSizeAlone) {
    Project.CustomWidth = 99;
    Project.CustomHeight = 77;
    WhenShown<TSettingForm>([](TSettingForm* form) {
        form->cbSize->setCurrentIndex(2);
        form->cbFrameRate->setEditText(QStringLiteral("15"));
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(Project.SizeStyle, ssQuarter);
    EXPECT_EQ(Project.CustomWidth, 99);
    EXPECT_EQ(Project.CustomHeight, 77);
    EXPECT_EQ(Project.GifFPS, 15);
}

// A frame rate, speed or custom size of 0 (or text where a number belongs): the user is told and
// the dialog stays open on the control, and the project keeps its values.
TEST_F(SettingFormTest, ZeroOrTextWhereANumberBelongsIsRefused) {
    std::vector<TMsgBoxRequest> boxes;
    const TMsgBoxHandler old = SetMsgBoxHandler([&boxes](const TMsgBoxRequest& request) {
        boxes.push_back(request);
        return int(mrOK);
    });
    Project.GifFPS = 8;
    WhenShown<TSettingForm>([&](TSettingForm* form) {
        const auto refused = [&](QWidget* control) {
            form->PageControl1->setCurrentIndex(2);
            form->btnOkMeClick();
            EXPECT_TRUE(form->IsModalRunning());
            EXPECT_EQ(form->PageControl1->currentIndex(), 0);
            EXPECT_EQ(form->focusWidget(), control);
        };
        form->cbFrameRate->setEditText(QStringLiteral("fast"));
        refused(form->cbFrameRate);
        form->cbFrameRate->setEditText(QStringLiteral("0"));
        refused(form->cbFrameRate);
        form->cbFrameRate->setEditText(QStringLiteral("12"));
        form->cbSpeed->setEditText(QStringLiteral("0%"));
        refused(form->cbSpeed);
        form->cbSpeed->setEditText(QStringLiteral("150%"));
        form->cbSize->setCurrentIndex(form->cbSize->count() - 1);
        form->edtW->setText(QStringLiteral("0"));
        refused(form->edtW);
        form->edtW->setText(QStringLiteral("300"));
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    SetMsgBoxHandler(old);
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_TRUE(boxes[0].Text.contains(QStringLiteral("\"fast\" is not a frame rate")));
    EXPECT_TRUE(boxes[2].Text.contains(QStringLiteral("speed must be more than 0")));
    EXPECT_TRUE(boxes[3].Text.contains(QStringLiteral("width must be at least 1")));
    EXPECT_EQ(Project.GifFPS, 12);
    EXPECT_DOUBLE_EQ(Project.GifSpeed, 1.5);
    EXPECT_EQ(Project.CustomWidth, 300);
}

TEST_F(SettingFormTest, CancelStoresNothing) {
    Project.GifFPS = 8;
    WhenShown<TSettingForm>([](TSettingForm* form) {
        form->cbFrameRate->setEditText(QStringLiteral("30"));
        form->cbxFlipH->click();
        QTest::mouseClick(form->btnCancelMe, Qt::LeftButton);
    });
    EXPECT_FALSE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(Project.GifFPS, 8);
    EXPECT_EQ(int(Project.Flip), 0);
}

TEST_F(SettingFormTest, HalfOfAnOddCropGoesToTheEvenNeighbours) {
    Project.CropEnabled = true;
    Project.CropRect = {10, 20, 10 + 641, 20 + 361};
    Project.SizeStyle = ssOriginal;
    const auto form = Open();
    EXPECT_EQ(form->edtW->text(), QStringLiteral("641"));
    form->cbSize->setCurrentIndex(1);
    EXPECT_EQ(form->edtW->text(), QStringLiteral("320"));
    EXPECT_EQ(form->edtH->text(), QStringLiteral("180"));
    EXPECT_FALSE(form->edtW->isEnabled());
    // Custom starts from the size shown: the quarter, not the earlier custom size.
    form->cbSize->setCurrentIndex(3);
    form->edtW->setText(QStringLiteral("500"));
    form->cbSize->setCurrentIndex(2);
    EXPECT_EQ(form->edtW->text(), QStringLiteral("160"));
    form->cbSize->setCurrentIndex(3);
    EXPECT_TRUE(form->edtW->isEnabled());
    EXPECT_EQ(form->edtW->text(), QStringLiteral("160"));
    EXPECT_EQ(form->edtH->text(), QStringLiteral("90"));
    form->cbSize->setCurrentIndex(0);
    EXPECT_EQ(form->edtW->text(), QStringLiteral("641"));
}

TEST_F(SettingFormTest, SpeedAndReplayTexts) {
    struct TCase {
        const char* Speed;
        double Stored;
        const char* Shown;
    };
    for (const TCase& c : {TCase{"100", 1.0, "Keep Original"}, TCase{"100%", 1.0, "Keep Original"},
                           TCase{"keep original", 1.0, "Keep Original"}, TCase{"0", 0.0, "0%"},
                           TCase{"1,5", 0.02, "2%"}}) {
        const auto form = Open();
        form->cbSpeed->setEditText(QString::fromLatin1(c.Speed));
        form->cbSpeedExit();
        EXPECT_EQ(form->cbSpeed->currentText(), QString::fromLatin1(c.Shown)) << c.Speed;
        form->StoreToProject();
        EXPECT_DOUBLE_EQ(Project.GifSpeed, c.Stored) << c.Speed;
    }
    for (const char* typed : {"-2", "word"}) {
        const auto form = Open();
        form->cbLoop->setEditText(QString::fromLatin1(typed));
        form->StoreToProject();
        EXPECT_EQ(Project.GifLoop, -1) << typed;
        form->cbLoopExit();
        EXPECT_EQ(form->cbLoop->currentText(), QStringLiteral("Infinite")) << typed;
    }
    Project.GifLoop = -1;
    const auto form = Open();
    EXPECT_EQ(form->cbLoop->currentText(), QStringLiteral("Infinite"));
    form->cbLoop->setEditText(QStringLiteral("0"));
    form->StoreToProject();
    EXPECT_EQ(Project.GifLoop, 0);
}

TEST_F(SettingFormTest, LastPageIsRememberedOnOkOnly) {
    WhenShown<TSettingForm>([](TSettingForm* form) {
        form->PageControl1->setCurrentIndex(2);
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    WhenShown<TSettingForm>([](TSettingForm* form) {
        EXPECT_EQ(form->PageControl1->currentIndex(), 2);
        EXPECT_EQ(form->PageControl1->tabText(2), QStringLiteral("Logo"));
        form->PageControl1->setCurrentIndex(4);
        form->btnCancelMeClick();
    });
    EXPECT_FALSE(ExecuteSettingForm(&Project, QImage()));
    TSettingForm form;
    EXPECT_EQ(form.PageControl1->currentIndex(), 2);
}

TEST_F(SettingFormTest, HighDpiNudges) {
    TSettingForm normal;
    TBaseForm::SetScreenDpiProvider([] { return 144; });
    TSettingForm high;
    EXPECT_EQ(high.cbxLogo->width(), normal.cbxLogo->width() + 12);
    EXPECT_EQ(high.edtLogoX->x(), normal.edtLogoX->x() + 6);
    EXPECT_EQ(high.edtLogoY->width(), normal.edtLogoY->width() - 6);
    EXPECT_EQ(high.edtTextX->x(), normal.edtTextX->x() + 5);
    EXPECT_EQ(high.Label9->x(), normal.Label9->x() + 4);
    EXPECT_EQ(high.Label9->text(), QStringLiteral("Y:"));
}

// The quality and the size limit of the General page: shown as stored, stored on OK as typed, and
// shown again the way a user types them.
TEST_F(SettingFormTest, QualityAndSizeLimitAreStoredAndShownAgain) {
    Project.GifQuality = 35;
    Project.GifMaxSize = 8'388'608;
    {
        const auto form = Open();
        EXPECT_EQ(form->edtQuality->value(), 35);
        EXPECT_EQ(form->edtMaxSize->text(), QStringLiteral("8MiB"));
    }
    WhenShown<TSettingForm>([](TSettingForm* form) {
        form->edtQuality->setValue(70);
        form->edtMaxSize->setText(QStringLiteral(" 2.5 mb"));
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(Project.GifQuality, 70);
    EXPECT_EQ(Project.GifMaxSize, 2'500'000);
    EXPECT_EQ(Project.ConversionRequest(nullptr).GifMaxSize, 2'500'000);

    // Reopened: as typed, then emptied for no limit.
    WhenShown<TSettingForm>([](TSettingForm* form) {
        EXPECT_EQ(form->edtQuality->value(), 70);
        EXPECT_EQ(form->edtMaxSize->text(), QStringLiteral("2.5M"));
        form->edtMaxSize->clear();
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(Project.GifMaxSize, 0);
    EXPECT_EQ(Project.GifQuality, 70);

    // Cancel keeps what the project had.
    WhenShown<TSettingForm>([](TSettingForm* form) {
        form->edtMaxSize->setText(QStringLiteral("1M"));
        form->edtQuality->setValue(5);
        form->btnCancelMeClick();
    });
    EXPECT_FALSE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(Project.GifMaxSize, 0);
    EXPECT_EQ(Project.GifQuality, 70);
}

// A size limit or quality that cannot be used: a message, the dialog stays open on the General
// page with the control focused, and nothing of the dialog reaches the project until it is right.
TEST_F(SettingFormTest, UnusableLimitsAreRefusedWithTheDialogOpen) {
    std::vector<TMsgBoxRequest> boxes;
    const TMsgBoxHandler old = SetMsgBoxHandler([&boxes](const TMsgBoxRequest& request) {
        boxes.push_back(request);
        return int(mrOK);
    });
    Project.GifMaxSize = 1'000'000;
    Project.GifFPS = 8;
    const QStringList wrong = {QStringLiteral("0"), QStringLiteral("-5M"), QStringLiteral("lots"),
                               QStringLiteral("10"), QStringLiteral("8 parsecs")};
    WhenShown<TSettingForm>([&](TSettingForm* form) {
        form->cbFrameRate->setEditText(QStringLiteral("20"));
        for (const QString& text : wrong) {
            form->PageControl1->setCurrentIndex(3);
            form->edtMaxSize->setText(text);
            QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
            EXPECT_TRUE(form->IsModalRunning()) << qPrintable(text);
            EXPECT_EQ(form->PageControl1->currentIndex(), 0);
            EXPECT_EQ(form->focusWidget(), form->edtMaxSize);
        }
        // A quality typed out of range is refused the same way.
        form->edtMaxSize->setText(QStringLiteral("500K"));
        form->edtQuality->setFocus();
        form->edtQuality->selectAll();
        QTest::keyClicks(form->edtQuality, QStringLiteral("0"));
        form->btnOkMeClick();
        EXPECT_TRUE(form->IsModalRunning());
        EXPECT_EQ(form->focusWidget(), form->edtQuality);
        QTest::keyClicks(form->edtQuality, QStringLiteral("5"));
        form->btnOkMeClick();
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    SetMsgBoxHandler(old);
    ASSERT_EQ(boxes.size(), size_t(wrong.size() + 1));
    EXPECT_TRUE(boxes[2].Text.contains(QStringLiteral("\"lots\" is not a file size")));
    EXPECT_TRUE(boxes[3].Text.contains(QStringLiteral("at least 64 bytes")));
    EXPECT_TRUE(boxes.back().Text.contains(QStringLiteral("1 to 100")));
    for (const TMsgBoxRequest& box : boxes)
        EXPECT_EQ(box.Icon, miWarning);
    EXPECT_EQ(Project.GifMaxSize, 500'000);
    EXPECT_EQ(Project.GifQuality, 5);
    EXPECT_EQ(Project.GifFPS, 20);
}

TEST_F(SettingFormTest, TheSizeEstimateFollowsTheValuesAsTheyAreTyped) {
    UseFilmClip();
    const auto form = Open();
    form->show();
    const auto shows = [&](const QString& part) {
        return WaitFor([&] { return form->lblEstimate->text().contains(part); }, 20000);
    };
    // 2 s at 8 frames per second, both ends taken, beside the size limit in place of its hint.
    ASSERT_TRUE(shows(QStringLiteral(" · 17 frames · 2.1 s")))
        << form->lblEstimate->text().toStdString();
    EXPECT_TRUE(form->lblEstimate->isVisible());
    EXPECT_FALSE(form->lblMaxSizeHint->isVisible());
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("^([0-9.]+) (KB|MB)")).match(form->lblEstimate->text());
    ASSERT_TRUE(size.hasMatch()) << "made whole: no \"about\"";
    const qint64 bytes = std::llround(size.captured(1).toDouble() *
                                      (size.captured(2) == QLatin1String("MB") ? 1e6 : 1e3));
    ASSERT_GT(bytes, 0);

    // A limit of a third of that, typed: estimating at once, then what the limit will choose.
    QTest::mouseClick(form->edtMaxSize, Qt::LeftButton);
    QTest::keyClicks(form->edtMaxSize, QString::number(bytes / 3));
    EXPECT_EQ(form->lblEstimate->text(), QStringLiteral("estimating..."));
    ASSERT_TRUE(shows(QStringLiteral("; fits: about "))) << form->lblEstimate->text().toStdString();

    // Another frame rate from the keyboard: more frames.
    form->cbFrameRate->setFocus();
    form->cbFrameRate->lineEdit()->selectAll();
    QTest::keyClicks(form->cbFrameRate, QStringLiteral("12"));
    EXPECT_EQ(form->lblEstimate->text(), QStringLiteral("estimating..."));
    EXPECT_TRUE(shows(QStringLiteral(" · 25 frames · ")));
    // Nothing of it reaches the project before OK.
    EXPECT_EQ(Project.GifMaxSize, 0);
    EXPECT_EQ(Project.GifFPS, 8);
}

// The format, chosen from the keyboard: the estimate follows it at once, OK gives it to the project
// and keeps it in the settings file for new projects; Cancel keeps nothing.
TEST_F(SettingFormTest, TheFormatChosenIsEstimatedAndKeptForNewProjects) {
    UseFilmClip();
    const auto estimated = [](const TSettingForm& form) -> qint64 {
        const QRegularExpressionMatch size =
            QRegularExpression(QStringLiteral("^([0-9.]+) (KB|MB) · 17 frames"))
                .match(form.lblEstimate->text());
        if (!size.hasMatch())
            return 0;
        return std::llround(size.captured(1).toDouble() *
                            (size.captured(2) == QLatin1String("MB") ? 1e6 : 1e3));
    };
    const auto form = Open();
    form->show();
    EXPECT_EQ(form->cbFormat->currentText(), QStringLiteral("GIF"));
    ASSERT_TRUE(WaitFor([&] { return estimated(*form) > 0; }, 20000));
    const qint64 gif = estimated(*form);
    form->cbFormat->setFocus();
    QTest::keyClick(form->cbFormat, Qt::Key_Down);
    QTest::keyClick(form->cbFormat, Qt::Key_Down);
    EXPECT_EQ(form->cbFormat->currentText(), QStringLiteral("MP4"));
    EXPECT_EQ(form->lblEstimate->text(), QStringLiteral("estimating..."));
    ASSERT_TRUE(WaitFor([&] { return estimated(*form) > 0; }, 20000));
    EXPECT_LT(estimated(*form), gif / 4) << form->lblEstimate->text().toStdString();
    QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(Project.OutputFormat, TOutputFormat::Mp4);
    TVGConfig stored;
    ASSERT_EQ(stored.ConfigFile, Config->ConfigFile);
    stored.Load();
    ASSERT_TRUE(stored.Loaded);
    EXPECT_EQ(stored.OutputFormat, TOutputFormat::Mp4);
    TVGProj fresh([] { return ProjectDefaultsFromConfig(); });
    EXPECT_EQ(fresh.OutputFormat, TOutputFormat::Mp4);

    const auto again = Open();
    EXPECT_EQ(again->cbFormat->currentText(), QStringLiteral("MP4"));
    again->cbFormat->setFocus();
    QTest::keyClick(again->cbFormat, Qt::Key_Home);
    QTest::mouseClick(again->btnCancelMe, Qt::LeftButton);
    EXPECT_EQ(Project.OutputFormat, TOutputFormat::Mp4);
    EXPECT_EQ(Config->OutputFormat, TOutputFormat::Mp4);
}

// The new controls sit in free space of the General page: inside it and over no other control.
TEST_F(SettingFormTest, LimitControlsOverlapNothing) {
    const auto form = Open();
    QWidget* page = form->PageControl1->widget(0);
    form->show();
    const QRect pageRect(QPoint(0, 0), page->size());
    const auto onPage = [page](const QWidget* widget) {
        return QRect(widget->mapTo(page, QPoint(0, 0)), widget->size());
    };
    const QList<QWidget*> added = {form->edtQuality, form->cbFormat, form->edtMaxSize,
                                   form->lblMaxSizeHint, form->lblEstimate};
    const QList<QWidget*> specified = {form->edtW,        form->edtH,   form->cbSize,
                                       form->cbFrameRate, form->cbLoop, form->cbSpeed};
    for (QWidget* widget : added) {
        EXPECT_TRUE(pageRect.contains(onPage(widget))) << qPrintable(widget->objectName());
        for (QWidget* other : specified)
            EXPECT_FALSE(onPage(widget).intersects(onPage(other)))
                << qPrintable(widget->objectName() + QLatin1Char('/') + other->objectName());
    }
    // The specified controls stay where they were designed.
    EXPECT_EQ(onPage(form->cbSpeed), QRect(110, 150, 130, 22));
    EXPECT_EQ(onPage(form->cbLoop), QRect(330, 114, 110, 22));
    form->hide();
}

// Values no GIF can hold, typed into the real controls and confirmed with a click on OK: one
// warning that names the limit, the dialog stays open on the control's page with the control
// focused and its text selected as typed, and the project keeps its values. The largest values
// that can be held pass.
TEST_F(SettingFormTest, ValuesNoGifCanHoldAreRefusedNamingTheLimit) {
    Project.SizeStyle = ssCustom;
    Project.CustomWidth = 300;
    Project.CustomHeight = 200;
    Project.GifFPS = 8;
    const QString sides =
        QStringLiteral("The width and height must be between 1 and 65535 pixels.");
    const QString rate =
        QStringLiteral("The frame rate must be between 1 and 50 frames per second.");
    const QString quality = QStringLiteral("The quality must be a whole number from 1 to 100.");
    const auto control = [](TSettingForm& form, int which) -> QWidget* {
        QWidget* controls[] = {form.edtW, form.edtH, form.cbFrameRate, form.edtQuality};
        return controls[which];
    };
    const std::tuple<int, QString, QString, QString> cases[] = {
        {0, QStringLiteral("65536"), sides, QStringLiteral("65535")},
        {1, QStringLiteral("9999999999"), sides, QStringLiteral("1")},
        {2, QStringLiteral("51"), rate, QStringLiteral("50")},
        {2, QStringLiteral("120"), rate, QStringLiteral("50")},
        {3, QStringLiteral("150"), quality, QStringLiteral("100")}};
    TMsgBoxRecorder boxes;
    WhenShown<TSettingForm>([&](TSettingForm* form) {
        QTabBar* tabs = form->PageControl1->tabBar();
        for (const auto& [which, wrong, message, right] : cases) {
            SCOPED_TRACE(wrong.toStdString());
            QWidget* typed = control(*form, which);
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
            TypeInto(typed, wrong);
            // Taken as typed, not cut to the longest number the box allows.
            EXPECT_EQ(TypingEdit(typed)->text(), wrong);
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());
            const size_t before = boxes.Boxes.size();
            QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
            EXPECT_EQ(boxes.Boxes.size(), before + 1);
            const TMsgBoxRequest box = boxes.Boxes.empty() ? TMsgBoxRequest{} : boxes.Boxes.back();
            EXPECT_EQ(box.Text, message);
            EXPECT_EQ(box.Icon, miWarning);
            EXPECT_TRUE(form->IsModalRunning());
            EXPECT_EQ(form->PageControl1->currentIndex(), 0);
            EXPECT_EQ(form->focusWidget(), typed);
            EXPECT_EQ(TypingEdit(typed)->selectedText(), wrong);
            EXPECT_EQ(Project.GifFPS, 8);
            EXPECT_EQ(Project.CustomWidth, 300);
            TypeInto(typed, right);
        }
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(boxes.Boxes.size(), std::size(cases));
    EXPECT_EQ(Project.CustomWidth, 65535);
    EXPECT_EQ(Project.CustomHeight, 1);
    EXPECT_EQ(Project.GifFPS, 50);
    EXPECT_EQ(Project.GifQuality, 100);
}

// "Use custom logo" ticked with no picture (or only blanks) is refused on the Logo page with the
// file name focused; a chosen picture, or the box cleared again, lets OK through.
TEST_F(SettingFormTest, LogoWithoutAPictureIsRefused) {
    const QString message =
        QStringLiteral("Please choose a logo picture, or untick \"Use custom logo\".");
    TMsgBoxRecorder boxes;
    for (const bool choose : {true, false}) {
        SCOPED_TRACE(choose ? "picture chosen" : "box cleared");
        Project.Logo = {};
        WhenShown<TSettingForm>([&, choose](TSettingForm* form) {
            QTest::keyClick(form->cbxLogo, Qt::Key_Space);
            EXPECT_TRUE(form->cbxLogo->isChecked());
            QTest::keyClicks(form->edtLogo, QStringLiteral("   "));
            QTabBar* tabs = form->PageControl1->tabBar();
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
            QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
            EXPECT_EQ(boxes.Boxes.size(), choose ? 1u : 2u);
            EXPECT_EQ(boxes.Boxes.empty() ? QString() : boxes.Boxes.back().Text, message);
            EXPECT_TRUE(form->IsModalRunning());
            EXPECT_EQ(form->PageControl1->currentIndex(), 2);
            EXPECT_EQ(form->focusWidget(), form->edtLogo);
            if (choose)
                TypeInto(form->edtLogo, QStringLiteral("/x/logo.png"));
            else
                QTest::keyClick(form->cbxLogo, Qt::Key_Space);
            QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
        });
        EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
        EXPECT_EQ(Project.Logo.Enabled, choose);
    }
    EXPECT_EQ(boxes.Boxes.size(), 2u);
    EXPECT_EQ(Project.Logo.FileName, QStringLiteral("   ")); // unticked: kept as typed
}

// A quality outside 1 to 100 stays in the box as typed when the user tabs away, and OK refuses it
// rather than storing the old value; the arrows keep to the range and step in from outside it.
TEST_F(SettingFormTest, QualityOutsideTheRangeIsKeptAsTypedAndRefused) {
    Project.GifQuality = 90;
    TMsgBoxRecorder boxes;
    WhenShown<TSettingForm>([&](TSettingForm* form) {
        if (!ActivateDialog(form))
            return;
        TRangeSpinBox* quality = form->edtQuality;
        QTest::mouseClick(quality, Qt::LeftButton);
        TypeInto(quality, QStringLiteral("150"));
        QTest::keyClick(quality, Qt::Key_Tab);
        EXPECT_FALSE(quality->hasFocus());
        EXPECT_EQ(quality->text(), QStringLiteral("150"));
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
        EXPECT_EQ(boxes.Boxes.size(), 1u);
        EXPECT_TRUE(!boxes.Boxes.empty() &&
                    boxes.Boxes[0].Text.contains(QStringLiteral("1 to 100")));
        EXPECT_TRUE(quality->hasFocus());
        EXPECT_EQ(Project.GifQuality, 90);
        QTest::keyClick(quality, Qt::Key_Down);
        EXPECT_EQ(quality->value(), 100);
        QTest::keyClick(quality, Qt::Key_Up);
        EXPECT_EQ(quality->value(), 100);
        TypeInto(quality, QStringLiteral("0"));
        QTest::keyClick(quality, Qt::Key_Up);
        EXPECT_EQ(quality->value(), 1);
        QTest::keyClick(quality, Qt::Key_Down);
        EXPECT_EQ(quality->value(), 1);
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ExecuteSettingForm(&Project, QImage()));
    EXPECT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(Project.GifQuality, 1);
}
