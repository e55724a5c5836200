// The built rexmill executable and its installation, run as real processes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <boost/filesystem/operations.hpp>

#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;

namespace {

struct ShellResult {
    int status = -1;
    std::string err;
};

ShellResult Shell(const std::string& command, const fs::path& errFile) {
    ShellResult r;
    r.status = std::system((command + " 2>'" + errFile.string() + "'").c_str());
    std::ifstream f(errFile.string());
    r.err.assign(std::istreambuf_iterator<char>(f), {});
    return r;
}

std::string Slurp(const fs::path& p) {
    std::ifstream f(p.string());
    return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(ProgramTest, WithoutADisplayItSaysSoInOneLineAndFails) {
    rxtest::TempDir dir;
    const fs::path config = dir / "config";
    fs::create_directories(config);
    for (const std::string env :
         {"env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", // nothing to open a window on
          "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:4711"}) { // a display that is not
                                                                        // there
        const ShellResult r =
            Shell(env + " XDG_CONFIG_HOME='" + config.string() + "' " RX_APP_EXE, dir / "err.txt");
        ASSERT_TRUE(WIFEXITED(r.status)) << env;
        EXPECT_NE(WEXITSTATUS(r.status), 0) << env;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << env << ": " << r.err;
        EXPECT_NE(r.err.find("display"), std::string::npos) << r.err;
        // Nothing was written to the settings.
        EXPECT_TRUE(fs::is_empty(config)) << env;
    }
}

TEST(ProgramTest, InstallPutsTheProgramsTheMenuEntryAndTheIconsUnderThePrefix) {
    rxtest::TempDir dir;
    const fs::path prefix = dir / "prefix";
    const ShellResult r = Shell("cmake --install '" RX_TEST_BINARY_DIR "' --prefix '" +
                                    prefix.string() + "' >/dev/null",
                                dir / "err.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* exe : {"bin/rexmill", "bin/rexmill-batch"}) {
        EXPECT_TRUE(fs::is_regular_file(prefix / exe)) << exe;
        EXPECT_EQ(fs::status(prefix / exe).permissions() & fs::owner_exe, fs::owner_exe) << exe;
    }
    const std::string desktop = Slurp(prefix / "share/applications/rexmill.desktop");
    EXPECT_EQ(desktop.rfind("[Desktop Entry]\n", 0), 0u);
    for (const char* line :
         {"\nType=Application\n", "\nName=Rexmill\n", "\nExec=rexmill %F\n", "\nIcon=rexmill\n",
          "image/jpeg;", "image/png;", "image/tiff;", "inode/directory;"})
        EXPECT_NE(desktop.find(line), std::string::npos) << line;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const fs::path icon = prefix / "share/icons/hicolor" /
                              (std::to_string(size) + "x" + std::to_string(size)) / "apps" /
                              "rexmill.png";
        const auto decoded = rxtest::Inspect(rxtest::ReadFile(icon));
        ASSERT_TRUE(decoded.ok) << icon;
        EXPECT_EQ(decoded.width, size);
        EXPECT_EQ(decoded.height, size);
    }
}

} // namespace
