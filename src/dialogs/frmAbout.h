#pragma once

#include <QDialog>

class ClickableLabel;
class QFrame;
class QLabel;
class QPushButton;

// "关于我的应用程序": the program's name, version, the picture engine's licence notice and the
// maker's home page. Modeless and on top; one shared instance, deleted when closed.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    // The shared instance, created when none is open.
    static frmAbout* Shared();

    // Shows the box, or brings the open one forward.
    void ShowAbout();

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Label2 = nullptr;
    ClickableLabel* lblHomePage = nullptr;  // a click opens the home page in the desktop's browser
    QLabel* lblDisclaimer = nullptr;
    QFrame* Line1[2] = {nullptr, nullptr};
    QPushButton* cmdOK = nullptr;  // the default button, focused: Enter closes the box

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    explicit frmAbout(QWidget* parent = nullptr);
    // The icon in device pixels of the screen the box is on.
    void ShowIcon();

    bool mClosed = false;  // closed and waiting to be deleted: no longer the shared instance
};
