#pragma once
// The main window's dialogs and frame: the crop, output settings, options and About commands,
// the help menu with the brand's pages, the title bar and window buttons, the tool box placement,
// the caption icon, the high-DPI layout and the install-tracking worker.

#include <QObject>
#include <QString>
#include <functional>

class QPainter;
class TMainForm;
class TSafeThread;

class TMainChrome : public QObject {
    Q_OBJECT
public:
    // The window's fields the chrome is responsible for and alone writes: the install-tracking
    // worker and whether it was started.
    struct TFields {
        TSafeThread*& FInstallTrackThread;
        bool& FInstallTrackStarted;
    };

    TMainChrome(TMainForm& form, TFields own) : F(form), Own(own) {}
    ~TMainChrome();

    void CenterToolBox();
    void ApplyBrandToHelpMenu();
    void StartInstallTracking();
    void StopInstallTracking();

    void Crop(QObject* sender);
    void Setting();
    void Option();
    void Help(QObject* sender);
    void About();
    void TitleDoubleClick();
    void Minimize();
    void Maximize();
    void Restore();
    void PaintToolLine(QPainter& painter);
    void ApplySkin();
    void AdjustForDpi();

    // Opens a web page in the desktop's browser (or says where it is when there is none).
    static void OpenUrl(const QString& address);

signals:
    // A dialog changed what the GIF is made of (crop, output settings, options).
    void GifSettingsChanged();

private:
    void AddRelatedSoftware();

    TMainForm& F;
    TFields Own;
};
