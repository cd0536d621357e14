// A test fixture for whole jobs: a scratch folder of its own per test, with an application
// folder "app", and a session on it whose prompt records every message and whose per-user store
// lives in memory. Drawings go to "out".
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "base/prompt.h"
#include "job/session.h"
#include "settings/user_store.h"

namespace retracer {

class ScratchSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::filesystem::temp_directory_path() /
                ("retracer_" + std::string(test->test_suite_name()) + "_" + test->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "app");
        session_ = NewSession(root_ / "out");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    // A session on the scratch application folder writing its drawings to `dest`.
    std::unique_ptr<Session> NewSession(const std::filesystem::path& dest) {
        auto session =
            std::make_unique<Session>(ResolveAppPaths(root_ / "app", nullptr), prompt_, store_);
        session->LoadSettings();
        session->destFolder = dest;
        std::filesystem::create_directories(dest);
        return session;
    }

    // Writes a file below the scratch folder (folders created as needed) and returns its path.
    std::filesystem::path Write(const std::filesystem::path& relative, std::string_view text) {
        const std::filesystem::path path = root_ / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::filesystem::path root_;
    RecordingPrompt prompt_;
    MemoryUserSettingsStore store_;
    std::unique_ptr<Session> session_;
};

}  // namespace retracer
