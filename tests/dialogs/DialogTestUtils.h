#pragma once
// Driving the modal dialogs offscreen: a handler runs once the dialog's modal loop runs and
// answers it, typing into a control as a user does, a recorder that answers message boxes, and a
// test fixture with its own settings object in a temporary data folder.

#include "common/Folders.h"
#include "common/MsgBox.h"
#include "dialogs/FontColorDialog.h"
#include "dialogs/SettingFrm.h"
#include "project/VGConfig.h"
#include "project/VGProject.h"
#include "tests/support/TestUtils.h"
#include "ui/BaseFrm.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Runs `action` on the visible dialog of class T as soon as its modal loop runs. When no such
// dialog shows up the test fails and every modal window is cancelled, so nothing hangs.
template <class T> void WhenShown(std::function<void(T*)> action) {
    QTimer::singleShot(0, [action] {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            auto* form = qobject_cast<T*>(window);
            if (form && form->isVisible() && form->IsModalRunning()) {
                action(form);
                return;
            }
        }
        ADD_FAILURE() << "the dialog did not show";
        for (QWidget* window : windows)
            if (auto* base = qobject_cast<TBaseForm*>(window); base && base->IsModalRunning())
                base->SetModalResult(2);
    });
}

// Makes the dialog the active window, so that focus moves and editors see focus leave as they do
// for a user. When it cannot, the test fails and the dialog is cancelled, so nothing hangs.
inline bool ActivateDialog(TBaseForm* form) {
    form->activateWindow();
    if (QTest::qWaitForWindowActive(form))
        return true;
    ADD_FAILURE() << "the dialog did not become the active window";
    form->SetModalResult(2);
    return false;
}

// The text edit a user types into: the edit itself, or the one inside a spin box or an editable
// combo box.
inline QLineEdit* TypingEdit(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit;
    if (qobject_cast<QAbstractSpinBox*>(control) || qobject_cast<QComboBox*>(control))
        return control->findChild<QLineEdit*>();
    return nullptr;
}

// Replaces the control's text by key strokes: Ctrl+A, Delete, then the text typed.
inline void TypeInto(QWidget* control, const QString& text) {
    QWidget* target = qobject_cast<QComboBox*>(control) ? TypingEdit(control) : control;
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Delete);
    QTest::keyClicks(target, text);
}

// Answers every message box with OK and keeps what each one said; the handler before it comes
// back when it goes.
class TMsgBoxRecorder {
public:
    TMsgBoxRecorder()
        : FOld(SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
              Boxes.push_back(request);
              return int(mrOK);
          })) {}
    ~TMsgBoxRecorder() { SetMsgBoxHandler(FOld); }
    TMsgBoxRecorder(const TMsgBoxRecorder&) = delete;
    TMsgBoxRecorder& operator=(const TMsgBoxRecorder&) = delete;

    std::vector<TMsgBoxRequest> Boxes;

private:
    TMsgBoxHandler FOld;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        TBaseForm::SetScreenDpiProvider([] { return 96; });
        TBaseForm::SetLanguageIdOverride(1033);
        FOldConfig = Config;
        FConfig = std::make_unique<TVGConfig>();
        Config = FConfig.get();
        // The program's start makes the data folder; the settings file goes there.
        ForceDirectories(QFileInfo(Config->ConfigFile).path());
    }
    void TearDown() override {
        Config = FOldConfig;
        TBaseForm::SetScreenDpiProvider({});
        TBaseForm::SetLanguageIdOverride(0);
    }
    TScopedUserFolders FFolders;
    std::unique_ptr<TVGConfig> FConfig;
    TVGConfig* FOldConfig = nullptr;
};

// The output settings dialog over a 640 x 360 project, opened on its first page.
class SettingDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        TSettingForm::SetLastPage(0);
        Project.VideoWidth = 640;
        Project.VideoHeight = 360;
        Project.CropRect = {0, 0, 640, 360};
    }
    void TearDown() override {
        SetFontChooser({});
        TSettingForm::SetPictureChooser({});
        DialogTest::TearDown();
    }
    // A dialog loaded from the project, as ExecuteSettingForm prepares it.
    std::unique_ptr<TSettingForm> Open(const QImage& frame = {}) {
        auto form = std::make_unique<TSettingForm>();
        form->SetProject(&Project);
        form->PreparePreviewSource(frame);
        form->LoadFromProject();
        return form;
    }
    TTextObj* AddCaption(const QString& text) {
        TTextObj* caption = Project.Texts.Add();
        caption->Text = text;
        caption->FontName = QStringLiteral("Liberation Sans");
        caption->FontSize = 20;
        return caption;
    }
    static QStringList Rows(const TSettingForm& form) {
        QStringList rows;
        for (int i = 0; i < form.lbText->count(); ++i)
            rows << form.lbText->item(i)->text();
        return rows;
    }
    TVGProj Project;
};
