// The test side of the stand-in "AutoUpdate" library (FakeAutoUpdate.cpp): its control
// functions, resolved from the library file, and the outcomes it can report.
#pragma once

#include <gtest/gtest.h>

#include <QLibrary>
#include <QString>

#include <cstdint>
#include <string>

#include "app/UpdateAbi.h"

namespace rxtest {

// The test controls of one stand-in library file.
struct Fake {
    explicit Fake(const QString& file) : lib(file) {
        EXPECT_TRUE(lib.load()) << lib.errorString().toStdString();
        reset = reinterpret_cast<void (*)()>(lib.resolve("Fake_Reset"));
        log = reinterpret_cast<const char* (*)()>(lib.resolve("Fake_Log"));
        clearLog = reinterpret_cast<void (*)()>(lib.resolve("Fake_ClearLog"));
        setInitResult = reinterpret_cast<void (*)(std::int32_t)>(lib.resolve("Fake_SetInitResult"));
        setManualOutcome = reinterpret_cast<void (*)(int)>(lib.resolve("Fake_SetManualOutcome"));
        setAutoOutcome = reinterpret_cast<void (*)(int)>(lib.resolve("Fake_SetAutoOutcome"));
        parentWindow = reinterpret_cast<std::uintptr_t (*)()>(lib.resolve("Fake_ParentWindow"));
        callClose = reinterpret_cast<std::int32_t (*)(int)>(lib.resolve("Fake_CallClose"));
        callUpdatesAvailable =
            reinterpret_cast<std::int32_t (*)(RxVariant)>(lib.resolve("Fake_CallUpdatesAvailable"));
        callError = reinterpret_cast<std::int32_t (*)()>(lib.resolve("Fake_CallError"));
        report = reinterpret_cast<void (*)(int)>(lib.resolve("Fake_Report"));
        EXPECT_TRUE(reset && log && report);
        reset();
    }
    std::string Log() { return log(); }

    QLibrary lib;
    void (*reset)() = nullptr;
    const char* (*log)() = nullptr;
    void (*clearLog)() = nullptr;
    void (*setInitResult)(std::int32_t) = nullptr;
    void (*setManualOutcome)(int) = nullptr;
    void (*setAutoOutcome)(int) = nullptr;
    std::uintptr_t (*parentWindow)() = nullptr;
    std::int32_t (*callClose)(int) = nullptr;
    std::int32_t (*callUpdatesAvailable)(RxVariant) = nullptr;
    std::int32_t (*callError)() = nullptr;
    void (*report)(int) = nullptr;
};

// Outcomes the stand-in reports (see FakeAutoUpdate.cpp).
namespace fake_outcome {
enum Outcome {
    kNothing = 0,
    kNoUpdates = 1,
    kError = 2,
    kNoUpdatesOnThread = 3,
    kNoUpdatesTwice = 4,
    kStaleNoUpdates = 5
};
} // namespace fake_outcome

} // namespace rxtest
