#pragma once
// Driving the modal dialogs offscreen: a handler runs once the dialog's modal loop runs and
// answers it, and a test fixture with its own settings object in a temporary data folder.

#include "common/Folders.h"
#include "project/VGConfig.h"
#include "tests/support/TestUtils.h"
#include "ui/BaseFrm.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

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
