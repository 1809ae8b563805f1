// Both programs' Windows resources as the system reads them: the version information
// (product, company, description, original file name, one version for both), the
// application icon (resource 1: 32-bit images at 16, 32 and 48 pixels, 4-bit ones at 16
// and 32), and the manifest (asInvoker, Vista to Windows 10/11, DPI-aware, no Common
// Controls 6).
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "e2e/driver/environment.h"
#include "e2e/driver/text.h"

namespace e2e {
namespace {

struct Program {
    const wchar_t* file;
    const wchar_t* description;
};

const Program kPrograms[] = {
    {L"dormello32.exe", L"Dormello shutdown preselector"},
    {L"sonvik32.exe", L"Sonvik recording-view launcher"},
};

// A program's file, loaded for its resources only.
class ResourceModule {
  public:
    explicit ResourceModule(const std::wstring& path)
        : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ResourceModule() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;

    HMODULE Get() const { return module_; }
    // The bytes of resource `id` of `type`; nullopt when there is none.
    std::optional<std::string> Bytes(const wchar_t* type, int id) const {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        HGLOBAL loaded = found != nullptr ? LoadResource(module_, found) : nullptr;
        const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (data == nullptr) return std::nullopt;
        return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
    }

  private:
    HMODULE module_;
};

// The version information as the system reads it.
class VersionInfo {
  public:
    explicit VersionInfo(const std::wstring& path) {
        DWORD ignored = 0;
        data_.resize(GetFileVersionInfoSizeW(path.c_str(), &ignored));
        if (data_.empty() ||
            !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data_.size()), data_.data())) {
            data_.clear();
        }
    }

    bool Loaded() const { return !data_.empty(); }

    std::optional<VS_FIXEDFILEINFO> Fixed() const {
        void* value = nullptr;
        UINT length = 0;
        if (!Loaded() || !VerQueryValueW(data_.data(), L"\\", &value, &length) ||
            length < sizeof(VS_FIXEDFILEINFO)) {
            return std::nullopt;
        }
        return *static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // A string of the U.S. English, Unicode block.
    std::optional<std::wstring> String(const std::wstring& name) const {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
        if (!Loaded() || !VerQueryValueW(data_.data(), path.c_str(), &value, &length)) {
            return std::nullopt;
        }
        return std::wstring(static_cast<const wchar_t*>(value));
    }

  private:
    std::vector<char> data_;
};

std::string Dotted(const VS_FIXEDFILEINFO& fixed) {
    return std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed.dwFileVersionLS));
}

class AppResources : public testing::TestWithParam<Program> {
  protected:
    void SetUp() override {
        path_ = ExePath(GetParam().file);
        ASSERT_TRUE(FileExists(path_)) << ToUtf8(path_) << " is missing";
    }

    std::wstring path_;
};

TEST_P(AppResources, VersionInformationNamesTheProductTheCompanyAndTheProgram) {
    const VersionInfo info(path_);
    ASSERT_TRUE(info.Loaded());
    const std::wstring file = GetParam().file;
    EXPECT_EQ(info.String(L"ProductName"), L"QUINTARO");
    EXPECT_EQ(info.String(L"CompanyName"), L"Tobrin's Utilities");
    EXPECT_EQ(info.String(L"FileDescription"), GetParam().description);
    EXPECT_EQ(info.String(L"OriginalFilename"), file);
    EXPECT_EQ(info.String(L"InternalName"), file.substr(0, file.size() - 4));

    const auto fixed = info.Fixed();
    ASSERT_TRUE(fixed.has_value());
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_NE(fixed->dwFileVersionMS | fixed->dwFileVersionLS, 0u);
    // The numbers and the texts come from the same place.
    EXPECT_EQ(info.String(L"FileVersion"), FromUtf8(Dotted(*fixed)));
    EXPECT_EQ(info.String(L"ProductVersion"), FromUtf8(Dotted(*fixed)));
}

TEST_P(AppResources, IconOneHas32BitImagesAt16_32And48PixelsAnd4BitOnesAt16And32) {
    const ResourceModule module(path_);
    ASSERT_NE(module.Get(), nullptr);
    const auto group = module.Bytes(RT_GROUP_ICON, 1);
    ASSERT_TRUE(group.has_value()) << "no icon resource 1";
    // GRPICONDIR: reserved, type, count; then 14-byte entries (width, height, colours,
    // reserved, planes, bit count, size, id).
    ASSERT_GE(group->size(), 6u);
    const auto word = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>((*group)[at]) |
                                     static_cast<unsigned char>((*group)[at + 1]) << 8);
    };
    const unsigned count = word(4);
    ASSERT_EQ(group->size(), 6 + 14 * count);
    // Alpha-blended images for XP and later; 16-colour ones for 16- and 256-colour displays.
    std::set<std::pair<unsigned, unsigned>> images;
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 14 * i;
        const unsigned width = static_cast<unsigned char>((*group)[entry]);
        const unsigned bits = word(entry + 6);
        EXPECT_TRUE(bits == 32 || bits == 4) << bits << " bits per pixel at " << width << " px";
        images.emplace(width, bits);
    }
    for (unsigned size : {16u, 32u, 48u}) {
        EXPECT_TRUE(images.count({size, 32u})) << size << " px, 32 bits, missing";
    }
    for (unsigned size : {16u, 32u}) {
        EXPECT_TRUE(images.count({size, 4u})) << size << " px, 4 bits, missing";
    }

    for (int size : {16, 32, 48}) {
        auto icon = static_cast<HICON>(
            LoadImageW(module.Get(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size << " px";
        ICONINFO parts{};
        ASSERT_TRUE(GetIconInfo(icon, &parts));
        BITMAP colour{};
        GetObjectW(parts.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, size);
        DeleteObject(parts.hbmColor);
        DeleteObject(parts.hbmMask);
        DestroyIcon(icon);
    }
}

TEST_P(AppResources, ManifestAsksForNoElevationNamesVistaTo11AndIsDpiAware) {
    const ResourceModule module(path_);
    ASSERT_NE(module.Get(), nullptr);
    const auto manifest = module.Bytes(MAKEINTRESOURCEW(24), 1);  // RT_MANIFEST
    ASSERT_TRUE(manifest.has_value()) << "no manifest resource 1";
    EXPECT_NE(manifest->find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos);
    for (const char* system : {"e2011457-1546-43c5-a5fe-008deee3d3f0",     // Vista
                               "35138b9a-5d96-4fbd-8e2d-a2440225f93a",     // 7
                               "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",     // 8
                               "1f676c76-80e1-4239-95bb-83d0f6d0da78",     // 8.1
                               "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {  // 10 and 11
        EXPECT_NE(manifest->find(std::string("<supportedOS Id=\"{") + system + "}\"/>"),
                  std::string::npos)
            << system;
    }
    EXPECT_NE(manifest->find(">true</dpiAware>"), std::string::npos);
    // The classic controls: Common Controls 6 would draw the buttons flat under Wine.
    EXPECT_EQ(manifest->find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

TEST(AppResourcesTogether, BothProgramsCarryOneVersion) {
    std::vector<std::optional<VS_FIXEDFILEINFO>> versions;
    for (const Program& program : kPrograms) {
        versions.push_back(VersionInfo(ExePath(program.file)).Fixed());
        ASSERT_TRUE(versions.back().has_value()) << ToUtf8(program.file);
    }
    EXPECT_EQ(Dotted(*versions[0]), Dotted(*versions[1]));
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, AppResources, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& program) {
                             std::string name = ToUtf8(program.param.file);
                             return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace e2e
