// The job the module waits in after starting a command: the processes the
// command starts, and theirs, are waited for; one that asks to leave may.
//
// The processes are this test program again, running one of the disabled
// helper cases below; the marker file each writes at its end is named by
// the environment, which the children inherit.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "launch/launch.h"
#include "module_test_support.h"

namespace {

constexpr char kMarkerVariable[] = "LAUNCH_JOB_MARKER";

// Starts this program running the helper case name, without a console,
// with flags added to the creation flags.  Returns its process, or null.
HANDLE StartHelper(const char* name, DWORD flags = 0) {
    std::string commandLine =
        "\"" + ModuleFileName() + "\" --gtest_also_run_disabled_tests --gtest_filter=LaunchJobHelper." + name;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS | flags,
                        nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

std::string Marker() {
    char path[MAX_PATH] = "";
    GetEnvironmentVariableA(kMarkerVariable, path, sizeof path);
    return path;
}

// The helpers, run only in the processes started above.
TEST(LaunchJobHelper, DISABLED_Lingers) {
    Sleep(3000);
    WriteText(Marker(), "ended");
}

TEST(LaunchJobHelper, DISABLED_StartsALingererAndEnds) {
    HANDLE lingerer = StartHelper("DISABLED_Lingers");
    ASSERT_NE(lingerer, nullptr);
    CloseHandle(lingerer);
}

class LaunchJob : public ::testing::Test {
protected:
    // The test program joins one job, once, and stays in it, as the module
    // does (without nested jobs it could join no second one).
    static void SetUpTestSuite() { job_ = JoinNewJob(); }

    void SetUp() override {
        if (job_ == nullptr) GTEST_SKIP() << "the system gives no job here";
        marker_ = folder_.path() + "marker.txt";
        SetEnvironmentVariableA(kMarkerVariable, marker_.c_str());
    }
    void TearDown() override { SetEnvironmentVariableA(kMarkerVariable, nullptr); }

    static HANDLE job_;
    TempFolder folder_;
    std::string marker_;
};

HANDLE LaunchJob::job_;

TEST_F(LaunchJob, WaitsForAGrandchildThatOutlivesItsParent) {
    HANDLE child = StartHelper("DISABLED_StartsALingererAndEnds");
    ASSERT_NE(child, nullptr);
    WaitForSingleObject(child, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(child, &code);
    CloseHandle(child);
    EXPECT_EQ(code, 0u) << "the child could not start the grandchild";
    EXPECT_FALSE(FileExists(marker_)) << "the grandchild ended before its parent";

    EXPECT_TRUE(WaitForJob(job_));
    EXPECT_TRUE(FileExists(marker_)) << "the wait ended before the grandchild";
}

TEST_F(LaunchJob, AProcessThatAsksToLeaveMayAndIsNotWaitedFor) {
    HANDLE lingerer = StartHelper("DISABLED_Lingers", CREATE_BREAKAWAY_FROM_JOB);
    ASSERT_NE(lingerer, nullptr) << "breaking away was refused: " << GetLastError();
    EXPECT_TRUE(WaitForJob(job_));
    EXPECT_FALSE(FileExists(marker_)) << "the wait included a process outside the job";
    WaitForSingleObject(lingerer, INFINITE);
    CloseHandle(lingerer);
    EXPECT_TRUE(FileExists(marker_));
}

}  // namespace
