// A temporary folder for the file-list tests. The list changes the process's
// current directory, so the fixture puts it back after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class FileListFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        startDir_ = std::filesystem::current_path();
        char pattern[] = "/tmp/tavo-list-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        // The list holds folders in their resolved form.
        root_ = std::filesystem::canonical(pattern).string();
    }
    void TearDown() override
    {
        std::filesystem::current_path(startDir_);
        std::filesystem::remove_all(root_);
    }

    std::string path(const std::string& name) const { return root_ + "/" + name; }
    void touch(const std::string& name) const { std::ofstream(path(name)) << "x"; }
    void makeFolder(const std::string& name) const { std::filesystem::create_directories(path(name)); }
    static std::string cwd() { return std::filesystem::current_path().string(); }

    std::string root_;
    std::filesystem::path startDir_;
};
