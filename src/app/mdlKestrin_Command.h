#pragma once

#include <QString>
#include <QStringList>

// The program's own command-line splitting: double quotes group an argument with spaces, there is
// no escape character and blank arguments vanish. The arguments are kept in a 1-based list.
namespace mdlKestrin_Command {

// Parses text (an empty text stands for the process's own arguments) and returns the count.
qint32 GetCommandCount(const QString& text);

// Argument 1..count; anything else raises NumberedError 60001 "索引超过边界！".
QString GetCommand(qint32 index);

void ClearCommands();

// Appends an argument unless it is blank after trimming spaces; stored untrimmed.
void AddCommand(const QString& argument);

// The process's arguments after the program's name, as the caller received them. On this
// platform they arrive already split, so an empty text to GetCommandCount hands each one to
// AddCommand as it is (a path with spaces stays one argument). A file:// address becomes its local
// path.
void SetProcessArguments(const QStringList& arguments);

}  // namespace mdlKestrin_Command
