#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

// The open and save dialogs and the folder picker, all through the modal seam.
//
// Both file dialogs take and give back the same things:
// - ioFileName: in, the name in the file-name box at the start ("" none; a folder in it opens
//   there instead of iInitialFolder); out, the full path of the chosen file.
// - ioFileTitle: out, the chosen file's name without its folder.
// - ioFilter: in, the file types as "description|pattern|…" (see ParseFileFilter; "" means
//   DefaultOpenFileFilter() for open, DefaultFileFilter() for save); out, the chosen type as
//   "description|pattern" with the pattern as written — itself a filter text of one type, so it can
//   be handed back in.
// - ioFilterIndex: 1-based, in the type selected at the start (outside 1..count: the first), out
//   the type in force when the file was chosen (0 when the text named no type).
// - iDefaultExt: without dot, added to a chosen name that has no '.' ("jpg": "a" -> "a.jpg").
// - iTitle: window title, "" for the dialog's own; iOwner: the window it stays over (may be null).
// On cancel every output is emptied: false, "" for name, title and filter, 0 for the filter index
// and the flags.
namespace mdlCommonDialog {

// The flag value meaning "no read-only box", the only state these dialogs have.
inline constexpr qint32 kHideReadOnly = 0x4;

// Open dialog. iMustExist: only an existing file can be chosen. iMultiSelect: several files can
// be selected, and the first of them is the one given back. There is no read-only box, so
// ioReadOnly always comes back false and iHideReadOnly changes nothing; ioFlags comes back as
// passed on a choice.
bool ShowOpenFileDialog(QString& ioFileName, QString& ioFileTitle, bool iMustExist,
                        bool iMultiSelect, bool& ioReadOnly, bool iHideReadOnly, QString& ioFilter,
                        qint32& ioFilterIndex, const QString& iInitialFolder, const QString& iTitle,
                        const QString& iDefaultExt, QWidget* iOwner, qint32& ioFlags);

// Save dialog. iOverwritePrompt: ask before replacing an existing file. ioFlags comes back as
// kHideReadOnly on a choice.
bool ShowSaveFileDialog(QString& ioFileName, QString& ioFileTitle, bool iOverwritePrompt,
                        QString& ioFilter, qint32& ioFilterIndex, const QString& iInitialFolder,
                        const QString& iTitle, const QString& iDefaultExt, QWidget* iOwner,
                        qint32& ioFlags);

// Folder picker with iPrompt as its title: the chosen folder without a trailing '/' (the root
// stays "/"), "" when cancelled.
QString BrowseForFolder(QWidget* iOwner, const QString& iPrompt);

}  // namespace mdlCommonDialog
