// Work run through GuardedWork: what it throws never leaves Run, and each failure is one log line
// that says where, and the error when there is one to tell.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <stdexcept>

#include "base/GuardedWork.h"
#include "base/NumberedError.h"

namespace {

QStringList gLines;

void Keep(QtMsgType, const QMessageLogContext&, const QString& text) {
    gLines << text;
}

}  // namespace

TEST(GuardedWork, EachFailureIsOneLineSayingWhereAndWhat) {
    const struct {
        void (*work)();
        bool done;
        const char* line;  // empty: nothing logged
    } cases[] = {
        {[] {}, true, ""},
        {[] { throw NumberedError(481, QStringLiteral("x"), QStringLiteral("Invalid picture")); },
         false, "Lumora: rotate failed: 481: Invalid picture"},
        {[] { throw std::runtime_error("no room"); }, false, "Lumora: rotate failed: no room"},
        {[] { throw 7; }, false, "Lumora: rotate failed"},
    };
    const QtMessageHandler previous = qInstallMessageHandler(Keep);
    for (const auto& c : cases) {
        gLines.clear();
        EXPECT_EQ(GuardedWork::Run("rotate", c.work), c.done);
        EXPECT_EQ(gLines, *c.line ? QStringList{QString::fromLatin1(c.line)} : QStringList{});
    }
    qInstallMessageHandler(previous);
}
