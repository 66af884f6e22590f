#pragma once

#include <QDialog>

class ClickableLabel;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// "程序设置": edits the five switches, the quick-save folder, the save quality and the
// common-size list of the option store (mdlOption) and saves them to Option.ini. Modeless and on
// top; one shared instance, loaded from the store when created and deleted when closed.
//
// The switches, the folder and the quality are bound to their options by kOptionTable
// (settings/OptionTable.h), through the controls' object names. They reach the store only by a
// save, and only together: a refused or failed save leaves the store as it was. The size list is
// edited in the store at each commit; row i of lstSize is always CYSizeList[i].
class frmOption : public QDialog {
    Q_OBJECT
public:
    // The shared instance, created (and loaded from the store) when none is open.
    static frmOption* Shared();

    // Shows the dialog, or brings the open one forward without reloading it.
    void ShowOptions();

    // "ADD" or "EDIT" while the size edit frame is shown, "" otherwise.
    QString EditMode() const { return mEditMode; }

    // The file a save writes; "" (the default) means mdlOption::GetOptionFile().
    static void setOptionFileForTesting(const QString& path);

    QGroupBox* frameResize = nullptr;
    QCheckBox* chkAutoResizeOnLoad = nullptr;
    QCheckBox* chkAutoResizeOnRotate = nullptr;

    QGroupBox* frameDisplay = nullptr;
    QCheckBox* chkDisplayBorder = nullptr;
    QCheckBox* chkDisplayTopMost = nullptr;
    QCheckBox* chkAutoRotate = nullptr;

    QGroupBox* frameQuickSave = nullptr;
    QRadioButton* optQuickSaveSame = nullptr;
    QRadioButton* optQuickSaveOther = nullptr;
    QLineEdit* txtQuickSave = nullptr;
    QPushButton* cmdQuickSave = nullptr;
    QLabel* lblSaveQuality = nullptr;
    QLineEdit* txtSaveQuality = nullptr;  // SaveQuality, 1 to 100

    QGroupBox* frameSize = nullptr;
    QListWidget* lstSize = nullptr;
    QPushButton* cmdSizeAdd = nullptr;
    QPushButton* cmdSizeEdit = nullptr;
    QPushButton* cmdSizeDelete = nullptr;

    QGroupBox* frameSizeEdit = nullptr;  // inside frameSize; hidden unless adding or editing
    QLabel* lblSizeWidth = nullptr;
    QLineEdit* txtSizeWidth = nullptr;
    QLabel* lblSizeHeight = nullptr;
    QLineEdit* txtSizeHeight = nullptr;
    QLabel* lblSizeName = nullptr;
    QLineEdit* txtSizeName = nullptr;
    ClickableLabel* lblSizeOK = nullptr;

    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit frmOption(QWidget* parent = nullptr);

    void BuildControls();
    void FillSizeList(int selectRow);
    // The selected row, or -1.
    int SelectedRow() const;
    void EnterEdit(const QString& mode);
    void LeaveEdit();

    void cmdQuickSave_Click();
    void cmdSizeAdd_Click();
    void cmdSizeEdit_Click();
    void cmdSizeDelete_Click();
    void lblSizeOK_Click();
    void cmdSave_Click();

    QString mEditMode;     // the edit frame's tag
    int mEditRow = -1;     // the row being edited in "EDIT" mode
    bool mClosed = false;  // closed and waiting to be deleted: no longer the shared instance
};
