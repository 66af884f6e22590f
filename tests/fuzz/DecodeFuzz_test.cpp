// The long sweep (label fuzz, run by scripts/fuzz, not by scripts/test): thousands of mutants of
// each of HEIF, AVIF, JPEG XL and JPEG, made as DecodeMutants.h makes them, and of the colour
// profiles inside JPEG, PNG, HEIF and JPEG XL files, WebP files and the files Lumora's own
// writers make (ColourMutants.h), loaded through
// LoadPictureFile. Each must end as a picture or as error 481, and this process must survive and
// stay small. Worker crashes and timeouts are not failures here (the program refuses the file
// and replaces the worker), but each is listed with the mutants that were loading at the time, so
// a decoder's fault can be found and replayed.
//
// LUMORA_FUZZ_MUTANTS (2000) per format, from index LUMORA_FUZZ_FIRST (0), of the formats in
// LUMORA_FUZZ_FORMATS (all of them); LUMORA_FUZZ_KEEP names a folder that receives the
// bytes of every suspect mutant.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cstdio>

#include "fuzz/ColourMutants.h"

namespace {

using namespace DecodeMutants;

int Setting(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

TEST(DecodeFuzz, EveryMutantEndsAsAPictureOrError481) {
    const int count = Setting("LUMORA_FUZZ_MUTANTS", 2000);
    const int first = Setting("LUMORA_FUZZ_FIRST", 0);
    const QString chosen =
        qEnvironmentVariable("LUMORA_FUZZ_FORMATS", ColourMutants::AllFormatNames());
    const QString keep = qEnvironmentVariable("LUMORA_FUZZ_KEEP");
    ASSERT_GT(count, 0);
    ASSERT_GE(first, 0);

    int formats = 0;
    // The process's peak memory counts its whole life: the largest picture of any format so far
    // is set against it.
    qint64 largestSoFar = 0;
    for (const Format& format : ColourMutants::AllFormats()) {
        if (!chosen.split(',').contains(QLatin1String(format.name))) {
            continue;
        }
        ++formats;
        const std::vector<Original> files =
            format.seeds != nullptr ? format.seeds() : TestFiles(format.extensions);
        ASSERT_FALSE(files.empty()) << format.name;
        std::vector<Job> jobs;
        AddJobs(jobs, format, files, first, count);
        QElapsedTimer clock;
        clock.start();
        Tally t = LoadAll(jobs, keep);
        const auto& [pictures, refused] = t.byFormat.count(format.name) != 0
                                              ? t.byFormat.at(format.name)
                                              : std::pair<int, int>{0, 0};
        std::printf(
            "fuzz %s: mutants #%d..#%d of %zu files: %d loaded, %d refused, %lld worker crashes, "
            "%lld worker timeouts, %lld garbled answers; %.1f s; largest picture %lld MB; peak "
            "memory "
            "of this process %ld MB\n",
            format.name, first, first + count - 1, files.size(), pictures, refused,
            static_cast<long long>(t.crashes), static_cast<long long>(t.timeouts),
            static_cast<long long>(t.garbled), clock.elapsed() / 1000.0,
            static_cast<long long>(t.largestPicture >> 20), t.peakMegabytes);
        for (const QString& suspect : t.suspects) {
            std::printf("  suspect %s\n", qPrintable(suspect));
        }
        std::fflush(stdout);
        // A failure names the format and index: "scripts/fuzz 1 <index> <format>" replays it.
        EXPECT_TRUE(t.failures.isEmpty()) << qPrintable(t.failures.join('\n'));
        EXPECT_EQ(pictures + refused, count) << format.name;
        EXPECT_EQ(t.garbled, 0) << format.name;
        largestSoFar = std::max(largestSoFar, t.largestPicture);
        t.largestPicture = largestSoFar;
        EXPECT_LT(t.PeakBesidesPictures(), 512) << format.name;
    }
    EXPECT_GT(formats, 0) << "no format in LUMORA_FUZZ_FORMATS=" << qPrintable(chosen);
}

}  // namespace
