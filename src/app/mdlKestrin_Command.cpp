#include "app/mdlKestrin_Command.h"

#include <QUrl>

#include "base/NumberedError.h"
#include "base/TextUtil.h"

namespace mdlKestrin_Command {
namespace {
QStringList gArguments;  // index 0 holds argument 1
QStringList gProcessArguments;

}  // namespace

qint32 GetCommandCount(const QString& text) {
    ClearCommands();
    if (text.isEmpty()) {
        for (const QString& a : gProcessArguments) {
            AddCommand(a);
        }
        return static_cast<qint32>(gArguments.size());
    }

    const QString s = TextUtil::TrimSpaces(text) + QLatin1Char(' ');
    const qsizetype len = s.size();
    qsizetype i = 0;
    while (i < len) {
        QChar delimiter = QLatin1Char(' ');
        if (s.at(i) == QLatin1Char('"')) {
            delimiter = QLatin1Char('"');
            ++i;
        }
        const qsizetype start = i;
        bool closed = false;
        while (i < len) {
            if (s.at(i) == delimiter) {
                AddCommand(s.mid(start, i - start));
                ++i;
                while (i < len && s.at(i) == QLatin1Char(' ')) {
                    ++i;
                }
                closed = true;
                break;
            }
            ++i;
        }
        if (!closed) {
            break;  // an unfinished quoted group is dropped, and nothing after it is read
        }
    }
    return static_cast<qint32>(gArguments.size());
}

QString GetCommand(qint32 index) {
    if (index < 1 || index > gArguments.size()) {
        throw NumberedError(60001, QString(), QStringLiteral("索引超过边界！"));
    }
    return gArguments.at(index - 1);
}

void ClearCommands() {
    gArguments.clear();
}

void AddCommand(const QString& argument) {
    if (TextUtil::TrimSpaces(argument).isEmpty()) {
        return;
    }
    gArguments.append(argument);
}

void SetProcessArguments(const QStringList& arguments) {
    gProcessArguments.clear();
    for (const QString& a : arguments) {
        // File managers and "open" commands may pass file:// addresses: they open like paths.
        const QUrl url(a);
        const bool fileUrl = a.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) &&
                             url.isValid() && url.isLocalFile();
        gProcessArguments << (fileUrl ? url.toLocalFile() : a);
    }
}

}  // namespace mdlKestrin_Command
