#pragma once
// What the fuzz targets share: a broken property aborts with a message (libFuzzer then
// keeps the input as a crash), a temporary folder for the real files some targets use,
// and whole-file reads and writes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace fuzz_support {

// Prints what was expected and aborts: the input becomes a finding.
[[noreturn]] inline void Broken(std::string_view property, std::string_view detail = {}) {
    std::fprintf(stderr, "\n*** property broken: %.*s\n", static_cast<int>(property.size()),
                 property.data());
    if (!detail.empty()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(detail.size()), detail.data());
    }
    std::abort();
}

inline void Require(bool holds, std::string_view property, std::string_view detail = {}) {
    if (!holds) Broken(property, detail);
}

// Bytes made printable for a report: everything outside printable ASCII as \xNN.
inline std::string Escaped(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// One folder for the life of the fuzzing process, under TMPDIR; emptied by each input
// that uses it, removed at exit.
class ScratchFolder {
  public:
    ScratchFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("quintaro-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Removes everything in the folder; the folder stays.
    void Clear() const {
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            std::filesystem::remove_all(entry.path());
        }
    }

    // The names in the folder, for checking that nothing was left behind.
    std::size_t EntryCount() const {
        const std::filesystem::directory_iterator entries(path_);
        return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
    }

  private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Require(out.good(), "the harness can write its input file", file.string());
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace fuzz_support
