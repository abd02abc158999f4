// The dialog base and the About box from the keyboard: OK and Cancel as tab stops pressed by
// Return and Space, the title bar's buttons out of the Tab chain but named for screen readers,
// Return on the focused tool button of a dialog, and the About box's links reached with Tab and
// opened with Return.

#include "app/Brand.h"
#include "tests/support/DesktopRecorder.h"
#include "tests/widgets/KeyboardWalk.h"
#include "ui/AboutFrm.h"
#include "ui/BaseUIFrm.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QCheckBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A dialog with a check box and a tool button before OK and Cancel.
class TKeyboardForm : public TBaseUIForm {
public:
    TKeyboardForm() {
        setObjectName(QStringLiteral("TKeyboardForm"));
        Check = new QCheckBox(QStringLiteral("Loop"), this);
        Check->setObjectName(QStringLiteral("Check"));
        Check->setGeometry(20, 50, 100, 20);
        Tool = new QToolButton(this);
        Tool->setObjectName(QStringLiteral("Tool"));
        Tool->setText(QStringLiteral("..."));
        Tool->setGeometry(130, 50, 28, 22);
        SetTabChain({Check, Tool, btnOkMe, btnCancelMe});
        FormCreate();
    }
    QCheckBox* Check;
    QToolButton* Tool;
};

class KeyboardFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        TBaseForm::SetScreenDpiProvider([] { return 96; });
        TBaseForm::SetLanguageIdOverride(1033);
        SetDialogOwnerProvider([] { return static_cast<QWidget*>(nullptr); });
    }
    void TearDown() override {
        TBaseForm::SetScreenDpiProvider({});
        TBaseForm::SetLanguageIdOverride(0);
        SetDialogOwnerProvider({});
    }
    // Runs `action` once the modal loop runs with the dialog active, and returns the modal
    // result; a safety timer ends a loop the action does not end.
    static int RunModal(TBaseForm& form, std::function<void()> action) {
        QTimer::singleShot(0, &form, [&form, action] {
            if (QTest::qWaitForWindowActive(&form))
                action();
            else
                ADD_FAILURE() << "the dialog did not become active";
        });
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, &form, [&form] { form.SetModalResult(99); });
        safety.start(10000);
        return form.ShowModal();
    }
};

TEST_F(KeyboardFormTest, TheDialogOpensOnItsFirstControlAndTabLeavesTheTitleBarOut) {
    TKeyboardForm form;
    EXPECT_EQ(
        RunModal(
            form,
            [&] {
                EXPECT_EQ(FocusedControl(), "Check");
                EXPECT_EQ(WalkTabs(4), TNames({"Tool", "btnOkMe", "btnCancelMe", "Check"}));
                EXPECT_EQ(WalkTabs(4, true), TNames({"btnCancelMe", "btnOkMe", "Tool", "Check"}));
                form.SetModalResult(2);
            }),
        2);
    for (TSkinButton* button : {form.btnMin, form.btnMax, form.btnRestore, form.btnCloseMe})
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(AccessibleName(form.btnCloseMe), "Close");
    EXPECT_EQ(AccessibleName(form.btnMin), "Minimize");
    EXPECT_EQ(AccessibleName(form.btnOkMe), "OK");
}

TEST_F(KeyboardFormTest, ReturnOrSpaceOnTheFocusedOkOrCancelEndsTheDialog) {
    TKeyboardForm form;
    EXPECT_EQ(RunModal(form,
                       [&] {
                           EXPECT_EQ(WalkTabs(2), TNames({"Tool", "btnOkMe"}));
                           QTest::keyClick(form.btnOkMe, Qt::Key_Return);
                       }),
              1);
    EXPECT_EQ(RunModal(form,
                       [&] {
                           form.btnCancelMe->setFocus(Qt::TabFocusReason);
                           QTest::keyClick(form.btnCancelMe, Qt::Key_Space);
                       }),
              2);
}

TEST_F(KeyboardFormTest, ReturnPressesTheFocusedToolButtonButNotACheckBox) {
    TKeyboardForm form;
    int toolClicks = 0;
    QObject::connect(form.Tool, &QToolButton::clicked, [&toolClicks] { ++toolClicks; });
    EXPECT_EQ(RunModal(form,
                       [&] {
                           QTest::keyClick(form.Check, Qt::Key_Return);
                           EXPECT_FALSE(form.Check->isChecked());
                           EXPECT_TRUE(form.isVisible()) << "Return is no OK of the window";
                           QTest::keyClick(form.Check, Qt::Key_Space);
                           EXPECT_TRUE(form.Check->isChecked());
                           form.Tool->setFocus(Qt::TabFocusReason);
                           QTest::keyClick(form.Tool, Qt::Key_Return);
                           QTest::keyClick(form.Tool, Qt::Key_Return, Qt::ControlModifier);
                           QTest::keyClick(form.Tool, Qt::Key_Space);
                           QTest::keyClick(form.Tool, Qt::Key_Escape);
                       }),
              2);
    EXPECT_EQ(toolClicks, 2);
}

class AboutKeyboard : public KeyboardFormTest {
protected:
    TAboutContext Context() {
        TAboutContext context;
        context.Brand = &BrandProfiles()[brQopa];
        context.SkinFolder = Skins.path() + QLatin1Char('/');
        context.Version = QStringLiteral("3.4.0.0");
        return context;
    }
    TDesktopRecorder Desktop;
    QStringList& Opened = Desktop.Opened;
    QTemporaryDir Skins;
};

TEST_F(AboutKeyboard, TabGoesFromLinkToLinkReturnOpensOneAndEscapeCloses) {
    TAboutForm form(Context());
    EXPECT_EQ(RunModal(form,
                       [&] {
                           EXPECT_EQ(FocusedControl(), "ulblHp");
                           EXPECT_EQ(WalkTabs(2), TNames({"ulblBuy", "ulblHp"}));
                           EXPECT_EQ(WalkTabs(1, true), TNames({"ulblBuy"}));
                           QTest::keyClick(form.ulblBuy, Qt::Key_Return);
                           QTest::keyClick(form.ulblBuy, Qt::Key_Escape);
                       }),
              2);
    ASSERT_EQ(Opened.size(), 1);
    EXPECT_EQ(Opened[0].toStdString(), form.ulblBuy->Url().toStdString());
    EXPECT_EQ(AccessibleName(form.ulblHp), form.ulblHp->text().toStdString());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.ulblBuy)->role(), QAccessible::Link);
}

} // namespace
