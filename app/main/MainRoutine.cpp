#include "app/main/MainRoutine.h"

#include "app/VGApp.h"
#include "app/VGUIApp.h"
#include "app/main/StartSettings.h"
#include "common/CommonFunctions.h"
#include "localisation/Language.h"
#include "mainwindow/MainFrm.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace {

// Turns the message of another start into bringing the main window to the front.
class TInstanceMessageFilter : public QObject {
public:
    explicit TInstanceMessageFilter(QPointer<TMainForm>& form) : FForm(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == QCoreApplication::instance() && event->type() == Msg::InstanceStarted) {
            if (FForm)
                FForm->BringToFront();
            return true;
        }
        return false;
    }

private:
    QPointer<TMainForm>& FForm;
};

// The process-wide objects, released in reverse order of creation on every way out.
struct TProcessObjects {
    std::unique_ptr<TUIApp> UIAppObj;
    std::unique_ptr<TApp> AppObj;
    bool SettingsCreated = false;

    ~TProcessObjects() {
        App = nullptr;
        AppObj.reset();
        if (SettingsCreated)
            FreeSettings();
        UIApp = nullptr;
        UIAppObj.reset();
    }
};

} // namespace

int RunApplication(const TRunOptions& options) {
    InstallLanguageHooks();
    TProcessObjects objects;

    // A1 to A4: the picture holder, the settings, the core with its log and work folder.
    objects.UIAppObj = std::make_unique<TUIApp>(
        options.AppPath.isEmpty() ? QString() : options.AppPath + QLatin1String("/resource/"));
    UIApp = objects.UIAppObj.get();
    CreateSettings();
    objects.SettingsCreated = true;
    objects.AppObj = std::make_unique<TApp>(options.AppPath);
    App = objects.AppObj.get();
    App->InitializeApp();

    const QString title = TApp::GetTitle();
    QCoreApplication::setApplicationName(title);

    // B1, B2: a second start tells the running instance and ends.
    if (!App->IsFirstInstance()) {
        PostToRunningInstance(title, Msg::InstanceStarted, 0, 0);
        return 0;
    }

    // Without a usable work folder the program cannot keep frames: say so and end.
    if (!App->WorkFolderError().isEmpty()) {
        MsgBox(App->WorkFolderError(), mbOK, miError, 1);
        return 1;
    }

    // B3: the installation check.
    if (!App->IsInstalled()) {
        MsgBox(QStringLiteral("Installation information missing, try \"Run as administrator\" or "
                              "reinstall \"%1\".")
                   .arg(title),
               mbOK, miError, 1);
        return 1;
    }

    // B4, B5: the settings file and the installation identifier.
    LoadSettings();
    SyncInstallGUID();

    // B6, B7: the application's own name, and the channel other starts reach it through.
    QApplication::setApplicationDisplayName(title);
    TInstanceServer instanceServer(title, QCoreApplication::instance());
    if (!instanceServer.Listen())
        MsgOut(QStringLiteral("instance channel not available: ") + instanceServer.SocketPath());

    // B8, B9: the main window and the message loop.
    QPointer<TMainForm> form = new TMainForm();
    form->setAttribute(Qt::WA_DeleteOnClose);
    TMainForm::SetDestroyHook(&SaveSettings);
    TInstanceMessageFilter filter(form);
    QCoreApplication::instance()->installEventFilter(&filter);
    QObject::connect(form.data(), &QObject::destroyed, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    form->show();
    if (options.QuitWhenShown)
        QTimer::singleShot(0, form.data(), &QWidget::close);
    QApplication::exec();

    // C1: windows that still exist are destroyed (the main window saves the settings).
    QCoreApplication::instance()->removeEventFilter(&filter);
    delete form.data();
    TMainForm::SetDestroyHook({});
    return 0;
}
