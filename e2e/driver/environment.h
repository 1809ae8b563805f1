#pragma once
// Where the programs under test are and where a test may write, set once from the
// test runner's command line:
//   --exe-dir=DIR         dormello32.exe, sonvik32.exe and the stand-ins (default: the
//                         runner's own folder)
//   --screenshot-dir=DIR  where pictures go (default: none are taken)
// Test files go to a fresh folder under %TEMP% for each run.
#include <windows.h>

#include <optional>
#include <string>

namespace e2e {

struct Environment {
    std::wstring exeDir;
    std::wstring screenshotDir;
    std::wstring scratchDir;
};

// Takes the options above out of argv (gtest sees the rest). Call before
// testing::InitGoogleTest.
void InitEnvironment(int& argc, char** argv);
const Environment& Env();

// A program from the exe folder; the path is returned whether or not it exists.
std::wstring ExePath(const std::wstring& fileName);
bool FileExists(const std::wstring& path);
// Whether the programs take the A functions, as on Windows 95 to ME: in their
// oldest-Windows test mode (QUINTARO_OLDEST_WINDOWS), or on a Windows (a Wine prefix)
// that reports itself as one of those.
bool ProgramsUseAnsiForms();
// A new empty folder under the run's scratch folder, named after `label` plus a
// counter, as the system reports its full path.
std::wstring NewScratchFolder(const std::wstring& label);
// Writes `bytes` to `path` as they are (no newline translation).
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes as they are on disk; nullopt when it cannot be opened.
std::optional<std::string> ReadBytes(const std::wstring& path);
// Saves a picture of `window` (or the whole screen for nullptr) as <dir>\<name>.bmp
// when a screenshot folder was given. Returns the path written, or "" for none.
std::wstring Screenshot(const std::wstring& name, HWND window = nullptr);

}  // namespace e2e
