#include <gtest/gtest.h>

#include "decode/cWorkerProcess.h"

#include <QStringList>

namespace {

// The decode worker is looked for where each kind of copy of the program keeps it: the
// environment first, then beside the executable, then in the installed layout.
TEST(WorkerProgram, FoundBesideThenInstalledUnlessChosen) {
    struct Row {
        const char* chosen;
        const char* exeFolder;
        QStringList programs;  // the executable files that exist
        const char* expected;
    };
    const Row rows[] = {
        {"/x/my-decode", "/usr/bin", {"/usr/libexec/lumora/lumora-decode"}, "/x/my-decode"},
        {"", "/home/u/build", {"/home/u/build/lumora-decode"}, "/home/u/build/lumora-decode"},
        {"",
         "/usr/bin",
         {"/usr/bin/lumora-decode", "/usr/libexec/lumora/lumora-decode"},
         "/usr/bin/lumora-decode"},
        {"",
         "/opt/l/bin",
         {"/opt/l/libexec/lumora/lumora-decode"},
         "/opt/l/libexec/lumora/lumora-decode"},
        {"", "/opt/l/bin", {"/usr/libexec/lumora/lumora-decode"}, "/opt/l/bin/lumora-decode"},
        {"", "/tmp/copy", {}, "/tmp/copy/lumora-decode"},
    };
    for (const Row& r : rows) {
        const auto runs = [&](const QString& path) { return r.programs.contains(path); };
        EXPECT_EQ(cWorkerProcess::ProgramFor(r.chosen, r.exeFolder, runs), r.expected)
            << r.exeFolder;
    }
}

}  // namespace
