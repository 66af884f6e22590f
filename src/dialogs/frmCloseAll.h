#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "Close all picture windows?" — confirming ends the process at once, without any window's
// close handling and without saving anything.
class frmCloseAll : public QDialog {
    Q_OBJECT
public:
    // The one shared instance, created on first use.
    static frmCloseAll* Shared();

    void ShowModeless();

    QLabel* Label1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // What OK does; tests replace it so the test process lives on.
    static void setExitForTesting(void (*exitFn)(int));

private:
    explicit frmCloseAll(QWidget* parent = nullptr);
};
