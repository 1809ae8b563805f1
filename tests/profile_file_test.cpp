// The simulated desktop's profile files beyond what the contract (shell_contract.h) asks
// of both desktops and what the preselector's runs over odd files (bad_input_test.cpp)
// show: spacing, comments, quotes, line placement, and the host's file system refusing a
// write.
#include "desktop/sim/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "desktop/sim/ansi_codepage.h"
#include "sim_fixture.h"

namespace desktop::sim {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace std::string_view_literals;

const std::string kBom = "\xEF\xBB\xBF";

using testing_support::ReadFile;
using testing_support::WriteFile;

std::set<std::string> Entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

class ProfileFile : public ::testing::Test {
  protected:
    testing_support::TempFolder folder_;
    const fs::path& dir_ = folder_.Path();
    const fs::path file_ = dir_ / "test.ini";
};

TEST_F(ProfileFile, ReadsFindTheValueAsWindowsDoes) {
    struct Case {
        std::optional<std::string> content;  // nullopt: no file at all
        std::string_view section;
        std::string_view key;
        std::optional<std::string> expected;
    };
    const std::optional<std::string> none;
    const Case cases[] = {
        {"[Main Window]\nTop=1\n", "main window", "top", "1"},
        {"  [  Shutdown  ]  \n   Hide   =   a b  \n", "Shutdown", "Hide", "a b"},
        {"[S]\n\tK\t=\tv\t\n", "S", "K", "v"},
        {"[S]\nK=v\n", "  S ", " K  ", "v"},
        {"[S] ; a note\nK=1\n", "S", "K", "1"},
        // Absent where a looser reader would find it.
        {"[Other]\nHide=1\n[Shutdown]\nShow=2\n", "Shutdown", "Hide", none},
        {"[Shutdown]\n[Other]\nHide=1\n", "Shutdown", "Hide", none},
        {"Hide=1\n[Shutdown]\n", "Shutdown", "Hide", none},
        {"[S]\nKey=1\n", "S", "K", none},
        {"[Sx]\nK=1\n", "S", "K", none},
        {"[S]\nK\n", "S", "K", none},
        {"[S\nK=1\n", "S", "K", none},
        // Comments are not keys, indented or not.
        {"[S]\n;K=c\nK=v\n", "S", "K", "v"},
        {"[S]\n  ; K=c\n", "S", "K", none},
        {";[S]\nK=1\n", "S", "K", none},
        // Values: one pair of matching quotes goes, nothing else.
        {"[S]\nK=\"a b\"\n", "S", "K", "a b"},
        {"[S]\nK=\" a \"\n", "S", "K", " a "},
        {"[S]\nK='x'\n", "S", "K", "x"},
        {"[S]\nK=\"x'\n", "S", "K", "\"x'"},
        {"[S]\nK=\"\"\n", "S", "K", ""},
        {"[S]\nK=\"\n", "S", "K", "\""},
        {"[S]\nK=\"\"x\"\"\n", "S", "K", "\"x\""},
        {"[S]\nK=\n", "S", "K", ""},
        {"[S]\nK=   \n", "S", "K", ""},
        {"[S]\nK=a=b\n", "S", "K", "a=b"},
        // Garbage around the wanted lines.
        {"[S]\n\0\0junk\xFF\xFE\n\x80[\n]\nK=1\n"s, "S", "K", "1"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i) + ": " + c.content.value_or("<no file>"));
        fs::remove(file_);
        if (c.content) WriteFile(file_, *c.content);
        EXPECT_EQ(ReadProfileValue(file_, c.section, c.key), c.expected);
    }
}

TEST_F(ProfileFile, WritesChangeOnlyWhatTheyMust) {
    struct Case {
        std::optional<std::string> before;  // nullopt: no file at all
        std::string_view section;
        std::string_view key;
        std::string_view value;
        std::string after;
    };
    const std::optional<std::string> none;
    const Case cases[] = {
        // A new file is written the Windows way, with CRLF.
        {"", "Shutdown", "Hide", "False", "[Shutdown]\r\nHide=False\r\n"},
        {none, "  Shutdown ", " Hide ", "x", "[Shutdown]\r\nHide=x\r\n"},
        {"[S]\nK=1\n", "S", "K", "", "[S]\nK=\n"},
        // A new key goes after the section's last non-blank line.
        {"[S]\n\n\n[T]\n", "S", "K", "9", "[S]\nK=9\n\n\n[T]\n"},
        {"[S]\nA=1\n; end\n\n[T]\n", "S", "K", "9", "[S]\nA=1\n; end\nK=9\n\n[T]\n"},
        {"[S]\n;K=1\n", "S", "K", "9", "[S]\n;K=1\nK=9\n"},
        {"[S]\nK\n", "S", "K", "9", "[S]\nK\nK=9\n"},
        {"K=1\n[S]\n", "S", "K", "9", "K=1\n[S]\nK=9\n"},
        {"[A]\nx=1\n[Shutdown]\nDelay=5", "Shutdown", "Hide", "False",
         "[A]\nx=1\n[Shutdown]\nDelay=5\nHide=False\n"},
        {"[S]", "S", "K", "9", "[S]\r\nK=9\r\n"},
        // A new section goes at the end, after a line break if the file lacks one.
        {"[A]\nx=1\n\n", "Shutdown", "Hide", "False", "[A]\nx=1\n\n[Shutdown]\nHide=False\n"},
        {"[A]\nx=1", "Shutdown", "Hide", "False", "[A]\nx=1\n[Shutdown]\nHide=False\n"},
        {"; just a comment", "S", "K", "9", "; just a comment\r\n[S]\r\nK=9\r\n"},
        // Each line keeps its own ending; new lines take the first line's.
        {"[S]\r\nx=1\n", "S", "y", "2", "[S]\r\nx=1\ny=2\r\n"},
        {"[S]\nx=1\r\n", "S", "y", "2", "[S]\nx=1\r\ny=2\n"},
        // The byte-order mark stays.
        {kBom, "Shutdown", "Hide", "False", kBom + "[Shutdown]\r\nHide=False\r\n"},
        {kBom + "[Shutdown]", "Shutdown", "Hide", "False", kBom + "[Shutdown]\r\nHide=False\r\n"},
        // A key only a later section of the name holds goes into the first.
        {"[S]\nA=1\n[s]\nK=3\n", "S", "K", "9", "[S]\nA=1\nK=9\n[s]\nK=3\n"},
        // Values go in as given.
        {"[S]\nK=1\n", "S", "K", "\"a b\"", "[S]\nK=\"a b\"\n"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i) + ": " + c.before.value_or("<no file>"));
        fs::remove(file_);
        if (c.before) WriteFile(file_, *c.before);
        ASSERT_TRUE(WriteProfileValue(file_, c.section, c.key, c.value));
        EXPECT_EQ(ReadFile(file_), c.after);
        // What was written reads back (a quoted value reads without its quotes).
        const std::string_view v = c.value;
        const bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
        EXPECT_EQ(ReadProfileValue(file_, c.section, c.key),
                  std::string(quoted ? v.substr(1, v.size() - 2) : v));
        // No temporary file is left behind.
        EXPECT_EQ(Entries(dir_), std::set<std::string>{"test.ini"});
    }
}

TEST_F(ProfileFile, UnwritablePlacesFail) {
    // A read-only file, whatever the write: no copy of it replaces it.
    const std::string before = "[Shutdown]\r\nHide=True\r\n";
    WriteFile(file_, before);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(WriteProfileValue(file_, "Shutdown", "Hide", "False"));
    EXPECT_FALSE(WriteProfileValue(file_, "New", "Key", "1"));
    EXPECT_EQ(ReadFile(file_), before);
    EXPECT_EQ(Entries(dir_), std::set<std::string>{"test.ini"});
    fs::remove(file_);

    // A directory where the file should be.
    fs::create_directory(file_);
    EXPECT_FALSE(WriteProfileValue(file_, "S", "K", "1"));
    EXPECT_TRUE(fs::is_directory(file_));
    EXPECT_TRUE(fs::is_empty(file_));
    EXPECT_EQ(ReadProfileValue(file_, "S", "K"), std::nullopt);

    // A folder that does not exist is not made.
    const fs::path missing = dir_ / "missing" / "test.ini";
    EXPECT_FALSE(WriteProfileValue(missing, "S", "K", "1"));
    EXPECT_FALSE(fs::exists(missing.parent_path()));

    // A file where the folder should be.
    WriteFile(dir_ / "plain", "[S]\n");
    EXPECT_FALSE(WriteProfileValue(dir_ / "plain" / "test.ini", "S", "K", "1"));
    EXPECT_EQ(ReadFile(dir_ / "plain"), "[S]\n");

    // A read-only folder: neither a new file nor a change to an existing one.
    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    WriteFile(locked / "old.ini", "[S]\nK=1\n");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(WriteProfileValue(locked / "new.ini", "S", "K", "1"));
    EXPECT_FALSE(WriteProfileValue(locked / "old.ini", "S", "K", "2"));
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(Entries(locked), std::set<std::string>{"old.ini"});
    EXPECT_EQ(ReadFile(locked / "old.ini"), "[S]\nK=1\n");
}

TEST_F(ProfileFile, WriteKeepsPermissionsAndWritesThroughLinks) {
    WriteFile(file_, "[S]\nK=1\n");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file_, mode);
    const fs::path link = dir_ / "link.ini";
    fs::create_symlink(file_, link);

    ASSERT_TRUE(WriteProfileValue(link, "S", "K", "2"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(ReadFile(file_), "[S]\nK=2\n");
    EXPECT_EQ(fs::status(file_).permissions(), mode);
    EXPECT_EQ(Entries(dir_), (std::set<std::string>{"link.ini", "test.ini"}));
}

TEST(AnsiCodepage, ConvertsAsWindows1252) {
    struct Case {
        std::u16string_view text;
        std::string_view bytes;
    };
    const Case both[] = {
        {u"", ""},
        {u"Hide=False", "Hide=False"},
        {u"\u20ac", "\x80"},
        {u"\u201a\u0192\u2026\u2122\u0178", "\x82\x83\x85\x99\x9F"},
        {u"\u0081\u008d\u008f\u0090\u009d", "\x81\x8D\x8F\x90\x9D"},
        {u"\u00a0\u00e9\u00ff", "\xA0\xE9\xFF"},
        {u"a\0b"sv, "a\0b"sv},
    };
    for (const auto& c : both) {
        SCOPED_TRACE(std::string(c.bytes));
        EXPECT_EQ(ToAnsi(c.text), c.bytes);
        EXPECT_EQ(FromAnsi(c.bytes), c.text);
    }
    const Case lossy[] = {
        {u"\u0080", "?"},               // its byte holds the euro sign
        {u"\u0100\u4e2d", "A?"},        // outside the code page: best fit or '?'
        {u"x\U0001F600y", "x?y"},       // one character, one '?'
        {u"\xD83D", "?"},               // lone high surrogate
        {u"\xDE00z", "?z"},             // lone low surrogate
        {u"\xD83D\xD83D\xDE00", "??"},  // unpaired, then a pair
    };
    for (const auto& c : lossy) {
        SCOPED_TRACE(std::string(c.bytes));
        EXPECT_EQ(ToAnsi(c.text), c.bytes);
    }
}

TEST(AnsiCodepage, EveryByteRoundTripsToADistinctCharacter) {
    std::set<char16_t> seen;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::u16string text = FromAnsi(byte);
        ASSERT_EQ(text.size(), 1u);
        seen.insert(text[0]);
        EXPECT_EQ(ToAnsi(text), byte) << b;
    }
    EXPECT_EQ(seen.size(), 256u);
}

}  // namespace
}  // namespace desktop::sim
