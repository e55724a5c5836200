// The built rexmill executable with the stand-in update library found on the library path:
// the calls the program makes at start-up and exit, in order, as the library records them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <boost/filesystem/operations.hpp>

#include "engine/Version.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;

namespace {

struct ProgramRun {
    int status = -1;
    std::string calls;
    std::string err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream f(p.string());
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// Runs the program offscreen with a fresh settings folder; a program that would keep running
// (a window left open, a message box waiting) is ended by the time limit.
ProgramRun RunProgram(const rxtest::TempDir& dir, const std::string& fakeEnv) {
    fs::create_directories(dir / "config");
    const std::string command =
        "env -u DISPLAY QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME='" + (dir / "config").string() +
        "' LD_LIBRARY_PATH='" RX_FAKE_DIR "' RX_FAKE_LOG='" + (dir / "calls.txt").string() + "' " +
        fakeEnv + " timeout 120 " RX_APP_EXE " 2>'" + (dir / "err.txt").string() + "'";
    ProgramRun r;
    r.status = std::system(command.c_str());
    r.calls = Slurp(dir / "calls.txt");
    r.err = Slurp(dir / "err.txt");
    return r;
}

const std::string kInitCalls = "Set_OnCloseApplication(cb,1)\nSet_OnUpdatesAvailable(cb,1)\n"
                               "Update_Init(\"https://www.mornsby.com/rexmill/1.0/update.xml\",\"" +
                               std::string(rx::kVersion) + "\")\n";

TEST(UpdateProgramTest, InitResultOneEndsTheProgramBeforeAnyWindowAndWithoutMessage) {
    rxtest::TempDir dir;
    const ProgramRun r = RunProgram(dir, "RX_FAKE_INIT_RESULT=1");
    ASSERT_TRUE(WIFEXITED(r.status));
    EXPECT_NE(WEXITSTATUS(r.status), 124) << "the program kept running";
    EXPECT_NE(WEXITSTATUS(r.status), 0);
    // No main window was handed over and no check ran; the component was closed.
    EXPECT_EQ(r.calls, kInitCalls + "Update_Close()\n");
    EXPECT_EQ(r.err.find("Rexmill:"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(dir / "config")) << "nothing was written to the settings";
}

TEST(UpdateProgramTest, TheComponentsCloseRequestEndsARunningProgram) {
    rxtest::TempDir dir;
    const ProgramRun r = RunProgram(dir, "RX_FAKE_CLOSE_ON_CHECK=1");
    ASSERT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 0) << r.err;
    EXPECT_EQ(r.calls, kInitCalls + "Update_SetParentWnd(window)\nSet_OnCloseApplication(cb,1)\n"
                                    "Set_OnError(null,0)\nSet_OnNoUpdatesAvailable(null,0)\n"
                                    "Update_Check()\nUpdate_Close()\n");
}

} // namespace
