// What an image window has running: saves and captures that make it busy, opens beside them (the
// newest wins), a close that waits for the work, and which commands wait while busy.

#include <gtest/gtest.h>

#include <iterator>
#include <ostream>
#include <vector>

#include "window/cWindowJobs.h"

namespace {

struct Step {
    enum Kind { Begin, BeginQuiet, End, Close, Open, Arrive, Captured, Preview } kind;
    qint64 request = 0;     // Open, Arrive, Preview
    bool captured = false;  // Captured: the capture brought a picture
    bool result = false;    // Begin: started; End: closeNow; Close: wait; Arrive: newest;
                            // Captured: the window shows; Preview: to be shown
    bool busy = false;      // afterwards
    bool opening = false;   // afterwards
    qint64 preview = 0;     // Open: the reduced picture's request
};

Step Do(Step::Kind kind, bool result, bool busy, bool opening = false) {
    return {kind, 0, false, result, busy, opening};
}
Step Open(qint64 request, bool busy = false) {
    return {Step::Open, request, false, false, busy, true};
}
// An open with a reduced picture beside it, and that picture arriving.
Step OpenReduced(qint64 request, qint64 preview) {
    return {Step::Open, request, false, false, false, true, preview};
}
Step Preview(qint64 preview, bool shown, bool busy, bool opening) {
    return {Step::Preview, preview, false, shown, busy, opening};
}
Step Arrive(qint64 request, bool newest, bool opening) {
    return {Step::Arrive, request, false, newest, false, opening};
}
Step Captured(bool picture, bool shows) {
    return {Step::Captured, 0, picture, shows, true, false};
}

struct Scenario {
    const char* what;
    std::vector<Step> steps;
};
void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.what;
}

class WindowJobs : public testing::TestWithParam<Scenario> {};

TEST_P(WindowJobs, EachStepGivesItsAnswerAndState) {
    cWindowJobs jobs;
    int i = 0;
    for (const Step& s : GetParam().steps) {
        bool result = false;
        switch (s.kind) {
            case Step::Begin:
            case Step::BeginQuiet:
                result = jobs.Begin(s.kind == Step::BeginQuiet);
                break;
            case Step::End: {
                const cWindowJobs::Ending ending = jobs.End();
                result = ending.closeNow;
                // Every End here ends a save or capture: the process lives through the close.
                EXPECT_NE(ending.keepAlive, nullptr) << "step " << i;
                break;
            }
            case Step::Close:
                result = jobs.Close();
                break;
            case Step::Open:
                jobs.OpenStarted(s.request, s.preview);
                break;
            case Step::Preview:
                result = jobs.PreviewArrived(s.request);
                break;
            case Step::Arrive: {
                const cWindowJobs::Arrival arrival = jobs.OpenArrived(s.request);
                result = arrival.newest;
                EXPECT_EQ(arrival.keepAlive != nullptr, arrival.newest) << "step " << i;
                break;
            }
            case Step::Captured:
                result = jobs.ShowsCaptureEnd(s.captured);
                break;
        }
        EXPECT_EQ(result, s.result) << "step " << i;
        EXPECT_EQ(jobs.IsBusy(), s.busy) << "step " << i;
        EXPECT_EQ(jobs.IsOpening(), s.opening) << "step " << i;
        ++i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowJobs,
    testing::Values(
        Scenario{"a save, and a second one refused meanwhile",
                 {Do(Step::Begin, true, true), Do(Step::Begin, false, true),
                  Do(Step::End, false, false), Do(Step::Begin, true, true)}},
        Scenario{"closed while saving: hidden now, closed once it ends",
                 {Do(Step::Begin, true, true), Do(Step::Close, true, true),
                  Do(Step::End, true, false), Do(Step::Close, false, false)}},
        Scenario{"closed when idle: closes at once", {Do(Step::Close, false, false)}},
        Scenario{"the newest open wins",
                 {Open(7), Open(9), Arrive(7, false, true), Arrive(9, true, false),
                  Arrive(9, false, false)}},
        Scenario{"a reduced picture shown: busy until its open ends",
                 {OpenReduced(7, 8), Preview(8, true, true, true), Preview(8, false, true, true),
                  Arrive(7, true, false)}},
        Scenario{"a reduced picture after its full one is ignored",
                 {OpenReduced(7, 8), Arrive(7, true, false), Preview(8, false, false, false)}},
        Scenario{"a newer open's reduced picture only",
                 {OpenReduced(7, 8), OpenReduced(9, 10), Preview(8, false, false, true),
                  Preview(10, true, true, true), Arrive(9, true, false)}},
        Scenario{"a close ends the wait for the full picture at once",
                 {OpenReduced(7, 8), Preview(8, true, true, true), Do(Step::Close, false, false),
                  Arrive(7, false, false)}},
        Scenario{"a close gives up the open",
                 {Open(7), Do(Step::Close, false, false), Arrive(7, false, false)}},
        Scenario{"an open runs beside a save",
                 {Open(7), Do(Step::Begin, true, true, true), Open(8, true),
                  Do(Step::End, false, false, true), Arrive(8, true, false)}},
        Scenario{
            "a capture that brought a picture shows the window",
            {Do(Step::BeginQuiet, true, true), Captured(true, true), Do(Step::End, false, false)}},
        Scenario{"a quiet capture that brought nothing stays unshown",
                 {Do(Step::BeginQuiet, true, true), Captured(false, false),
                  Do(Step::End, false, false)}},
        Scenario{"a capture from a shown window says it was refused",
                 {Do(Step::Begin, true, true), Captured(false, true), Do(Step::End, false, false)}},
        Scenario{"a capture into a closed window keeps nothing and shows nothing",
                 {Do(Step::Begin, true, true),
                  Do(Step::Close, true, true),
                  {Step::Captured, 0, true, false, true, false},
                  Do(Step::End, true, false)}},
        Scenario{"quiet is for one capture only",
                 {Do(Step::BeginQuiet, true, true), Do(Step::End, false, false),
                  Do(Step::Begin, true, true), Captured(false, true)}}));

TEST(JobRequests, TheOpenToCancelIsTheOneRunningAndACloseKeepsNoCapture) {
    cWindowJobs jobs;
    EXPECT_EQ(jobs.OpenRequest(), 0);
    jobs.OpenStarted(4);
    jobs.OpenStarted(5);
    EXPECT_EQ(jobs.OpenRequest(), 5);
    EXPECT_FALSE(jobs.OpenArrived(0).newest);  // no request is 0
    ASSERT_TRUE(jobs.Begin());
    EXPECT_TRUE(jobs.KeepsCapture());
    EXPECT_TRUE(jobs.Close());
    EXPECT_EQ(jobs.OpenRequest(), 0);
    EXPECT_TRUE(jobs.ClosingWhenIdle());
    EXPECT_FALSE(jobs.KeepsCapture());
}

// The busy rule: which commands wait for a save or capture, which for a reduced picture on show,
// and which run anyway. Every command is listed: one missing from the table fails its count.
struct BusyRule {
    const char* what;
    cWindowJobs::Command command;
    bool whileWorking;  // runs while a save or capture runs
    bool whilePreview;  // runs while a reduced picture stands in for the one being opened
};
void PrintTo(const BusyRule& r, std::ostream* os) {
    *os << r.what;
}

using C = cWindowJobs::Command;
const BusyRule kBusyRules[] = {
    {"open a file", C::OpenFile, false, true},  // it overtakes the reduced picture's open
    {"open dialog", C::OpenDialog, false, false},
    {"save", C::Save, false, false},
    {"quick save", C::QuickSave, false, false},
    {"save as", C::SaveAs, false, false},
    {"copy", C::Copy, false, false},
    {"paste", C::Paste, false, false},
    {"capture", C::Capture, false, false},
    {"clear", C::Clear, false, false},
    {"crop", C::Crop, false, false},
    {"mask", C::Mask, false, false},
    {"grey", C::Grey, false, false},
    {"turn", C::Turn, false, false},
    {"undo", C::Undo, false, false},
    {"redo", C::Redo, false, false},
    {"annotate", C::StartAnnotating, false, false},
    {"mouse", C::Mouse, false, false},
    {"wheel", C::Wheel, false, false},
    {"drop", C::Drop, false, false},
    {"size", C::Resize, true, true},
};
static_assert(std::size(kBusyRules) == static_cast<size_t>(C::Resize) + 1);

class BusyRules : public testing::TestWithParam<BusyRule> {};

TEST_P(BusyRules, ACommandRunsWhenIdleAndWaitsOnlyForWhatItMust) {
    const BusyRule& r = GetParam();
    cWindowJobs jobs;
    EXPECT_TRUE(jobs.Permits(r.command)) << "idle";
    jobs.OpenStarted(7);
    EXPECT_TRUE(jobs.Permits(r.command)) << "an open runs";

    ASSERT_TRUE(jobs.Begin());
    EXPECT_EQ(jobs.Permits(r.command), r.whileWorking) << "saving";
    jobs.End();
    EXPECT_TRUE(jobs.Permits(r.command)) << "the save ended";

    jobs.OpenStarted(8, 9);
    ASSERT_TRUE(jobs.PreviewArrived(9));
    EXPECT_EQ(jobs.Permits(r.command), r.whilePreview) << "a reduced picture shown";
    jobs.OpenArrived(8);
    EXPECT_TRUE(jobs.Permits(r.command)) << "the full picture came";
}

INSTANTIATE_TEST_SUITE_P(Cases, BusyRules, testing::ValuesIn(kBusyRules));

}  // namespace
