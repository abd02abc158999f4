#include "app/main/MainRoutine.h"

#include "app/VGApp.h"
#include "app/VGUIApp.h"
#include "app/main/StartSettings.h"
#include "app/main/WindowLossWatch.h"
#include "common/CommonFunctions.h"
#include "localisation/Language.h"
#include "mainwindow/MainFrm.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace {

// Opens a file named on the command line, as if chosen in the open dialog; after the event that
// brought it has been handled, so its messages do not run inside another object's handling.
void OpenHandedFile(const QPointer<TMainForm>& form, const QString& file) {
    QTimer::singleShot(0, form.data(), [form, file] {
        if (!form)
            return;
        // A dialog that waits for an answer (the conversion's progress, the settings) keeps the
        // video it belongs to: the user finishes there first.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
            MsgOut(QStringLiteral("not opened while a dialog is open: ") + file);
            MsgBox(QStringLiteral("\"%1\" cannot be opened while this window is open. Close it "
                                  "and open the video again.")
                       .arg(file),
                   mbOK, miWarning, 1);
            return;
        }
        MsgOut(QStringLiteral("open from the command line: ") + file);
        form->OpenVideoFile(file);
    });
}

// Turns the message of another start into bringing the main window to the front and opening
// the file that start was given.
class TInstanceMessageFilter : public QObject {
public:
    explicit TInstanceMessageFilter(QPointer<TMainForm>& form) : FForm(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != QCoreApplication::instance() || event->type() != Msg::InstanceStarted)
            return false;
        const QString file = static_cast<TMessageEvent*>(event)->Text;
        if (FForm) {
            FForm->BringToFront();
            if (!file.isEmpty())
                OpenHandedFile(FForm, file);
        }
        return true;
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

// The main window and the message loop, until the window is closed or gone.
void RunMainWindow(const TRunOptions& options) {
    QPointer<TMainForm> form = new TMainForm();
    form->setAttribute(Qt::WA_DeleteOnClose);
    TMainForm::SetDestroyHook(&SaveSettings);
    TInstanceMessageFilter filter(form);
    QCoreApplication::instance()->installEventFilter(&filter);
    // However the window goes, the message loop ends with it: exit, not quit, which would first
    // ask the remaining windows to close and could be refused.
    QObject::connect(form.data(), &QObject::destroyed, QCoreApplication::instance(),
                     [] { QCoreApplication::exit(0); });
    form->show();
    // A window the display server destroys is gone for good: the program ends as if it had been
    // closed (the widget, still there, is deleted below and saves the settings).
    TWindowLossWatch windowLoss(form->winId(), [&form] {
        // A window the program closed and deleted itself is not a loss.
        if (!form)
            return;
        MsgOut(QStringLiteral("main window destroyed by the display server"));
        QCoreApplication::exit(0);
    });
    QCoreApplication::instance()->installNativeEventFilter(&windowLoss);
    if (options.QuitWhenShown)
        QTimer::singleShot(0, form.data(), &QWidget::close);
    if (!options.Files.isEmpty())
        OpenHandedFile(form, options.Files.first());
    if (options.WhenShown)
        options.WhenShown(form.data());
    QApplication::exec();

    // Shutdown: windows that still exist are destroyed (the main window saves the settings).
    QCoreApplication::instance()->removeNativeEventFilter(&windowLoss);
    QCoreApplication::instance()->removeEventFilter(&filter);
    delete form.data();
    TMainForm::SetDestroyHook({});
}

} // namespace

int RunApplication(const TRunOptions& options) {
    TProcessObjects objects;

    // Start-up objects: the picture holder, the settings, the core with its log and work folder.
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
    if (options.Files.size() > 1)
        MsgOut(QStringLiteral("only the first file is opened; not opened: ") +
               options.Files.mid(1).join(QStringLiteral(", ")));

    // Single instance: a second start tells the running instance, hands it the file it was given
    // (a full path: the running instance has a working folder of its own) and ends.
    if (!App->IsFirstInstance()) {
        const QString file = options.Files.isEmpty()
                                 ? QString()
                                 : QFileInfo(options.Files.first()).absoluteFilePath();
        if (!PostToRunningInstance(title, Msg::InstanceStarted, 0, 0, file))
            MsgOut(QStringLiteral("the running instance did not answer"));
        return 0;
    }

    // Without a usable work folder the program cannot keep frames: say so and end.
    if (!App->WorkFolderError().isEmpty()) {
        MsgBox(App->WorkFolderError(), mbOK, miError, 1);
        return 1;
    }

    // Installation check.
    if (!App->IsInstalled()) {
        MsgBox(QStringLiteral("Installation information missing, try \"Run as administrator\" or "
                              "reinstall \"%1\".")
                   .arg(title),
               mbOK, miError, 1);
        return 1;
    }

    // Settings: the settings file and the installation identifier.
    LoadSettings();
    SyncInstallGUID();

    // The application's own name, and the channel other starts reach it through.
    QApplication::setApplicationDisplayName(title);
    TInstanceServer instanceServer(title, QCoreApplication::instance());
    if (!instanceServer.Listen())
        MsgOut(QStringLiteral("instance channel not available: ") + instanceServer.SocketPath());

    RunMainWindow(options);
    return 0;
}
