// A private scratch directory per test and whole-file helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) / "text_table" /
               (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(PathOf(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return PathOf(name);
    }
    std::string Write(const std::string& name, const std::string& text) const {
        return Write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    static std::vector<std::uint8_t> ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::filesystem::path dir_;
};
