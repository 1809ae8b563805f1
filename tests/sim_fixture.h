#pragma once
// Shared set-up for tests that run a program on the simulated desktop: a real temporary
// folder standing in for C:\TOOLS, where the settings file lives.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>

#include "common/text.h"
#include "desktop/sim/simulated_desktop.h"

namespace testing_support {

using namespace std::chrono_literals;
namespace sim = desktop::sim;

class TempFolder {
  public:
    TempFolder() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("quintaro-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A readable test name from a case's description.
inline std::string CaseName(const char* description) {
    std::string name;
    for (const char* p = description; *p != 0; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) != 0 ? *p : '_';
    }
    return name;
}

// The desktop of a user who starts a program from C:\TOOLS.
class SimTest : public ::testing::Test {
  protected:
    SimTest() {
        desktop.MapFolder(u"C:\\TOOLS", folder.Path());
        desktop.SetCurrentDirectory(u"C:\\TOOLS");
    }
    // A failure reads best beside the desktop the program left behind.
    void TearDown() override {
        if (HasFailure()) std::cerr << "simulated desktop:\n" << desktop.Describe();
    }
    std::filesystem::path SettingsFile() const { return folder.Path() / "QUINTARO.INI"; }
    void WriteSettings(const std::string& bytes) const { WriteFile(SettingsFile(), bytes); }
    std::string Settings() const { return ReadFile(SettingsFile()); }
    // A step that checks the desktop mid-run, at the point the script has reached.
    static sim::Step Check(std::function<void(sim::SimulatedDesktop&)> check) {
        return {"check", std::move(check)};
    }

    TempFolder folder;
    sim::SimulatedDesktop desktop;
};

}  // namespace testing_support
