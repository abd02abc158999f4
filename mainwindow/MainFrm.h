#pragma once
// The main window.

#include <QImage>
#include <QWidget>
#include <functional>

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Called when the window is destroyed, before the work folder is emptied: the start-up
    // layer saves the settings here.
    static void SetDestroyHook(std::function<void()> hook);

    // Brings the window to the front (another start of the program was attempted).
    void BringToFront();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage FStartBK;
    QImage FStartText;
};
