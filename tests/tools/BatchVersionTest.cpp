// rexmill-batch --version prints the program's one version constant.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/Version.h"

TEST(RexmillBatch, VersionIsTheProjectVersion) {
    FILE* p = popen((std::string(RX_BATCH_EXE) + " --version").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    EXPECT_EQ(pclose(p), 0);
    EXPECT_EQ(out, "rexmill-batch 1.0.257\n");
    EXPECT_EQ(std::string(rx::kVersion), "1.0.257");
}
