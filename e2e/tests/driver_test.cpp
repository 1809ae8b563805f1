// The driver's own parts where a fault would pass unseen: argument quoting by the rules
// CommandLineToArgvW reads, and the stand-ins' log lines, whose keys a test counts (a
// miscount makes "no key arrived" true of anything).
#include <gtest/gtest.h>
// shellapi.h needs windows.h before it; sorting would swap them.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string>
#include <vector>

#include "e2e/driver/event_log.h"
#include "e2e/driver/process.h"
#include "e2e/driver/text.h"

namespace e2e {
namespace {

std::vector<std::wstring> SplitAsWindowsDoes(const std::wstring& commandLine) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> split(args, args + count);
    LocalFree(args);
    return split;
}

TEST(QuoteArgument, EveryArgumentIsReadBackUnchanged) {
    const std::vector<std::wstring> cases{
        L"plain",         L"with space", L"",
        L"tab\there",     L"quote\"in",  L"trailing\\",
        L"C:\\a b\\",     L"\\\\\"x",    L"/log:C:\\Temp dir\\standin.log",
        L"ends with \\\\"};
    for (const auto& arg : cases) {
        // The first word is the program: CommandLineToArgvW reads it by other rules.
        const auto split = SplitAsWindowsDoes(L"program.exe " + QuoteArgument(arg));
        ASSERT_EQ(split.size(), 2U) << ToUtf8(arg);
        EXPECT_EQ(split[1], arg) << "quoted as " << ToUtf8(QuoteArgument(arg));
    }
}

TEST(ParseLogLine, ReadsCounterPidEventAndFieldsAsTheStandInsWriteThem) {
    struct Case {
        std::string line;
        std::string event;
        std::string field;
        std::string value;
    };
    const std::vector<Case> cases{
        {"12 4 start qpf=10000000", "start", "qpf", "10000000"},
        {"13 4 key msg=WM_SYSCHAR char=\"r\" top=\"Shut Down Windows\"", "key", "top",
         "Shut Down Windows"},
        {"14 4 key msg=WM_CHAR char=\"\\\"\" id=3", "key", "char", "\""},
        {"15 4 key msg=WM_CHAR char=\" \" id=3", "key", "id", "3"},
        {"16 4 retitled title=\"a \\\\ b\\x09\"", "retitled", "title", "a \\ b\t"},
        {"17 4 help", "help", "missing", ""},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseLogLine(c.line);
        ASSERT_TRUE(parsed.has_value()) << c.line;
        EXPECT_EQ(parsed->pid, 4U) << c.line;
        EXPECT_EQ(parsed->event, c.event) << c.line;
        EXPECT_EQ(parsed->Field(c.field), c.value) << c.line;
    }
    const auto typed = ParseLogLine("18 4 key msg=WM_SYSKEYDOWN key=P lparam=0x20190001");
    ASSERT_TRUE(typed.has_value());
    EXPECT_EQ(typed->KeyText(), "WM_SYSKEYDOWN P");
    EXPECT_TRUE(typed->IsTypedKeyDown());
    // A repeat count of 0: the menu code posted it to itself.
    EXPECT_FALSE(
        ParseLogLine("19 4 key msg=WM_KEYDOWN key=RETURN lparam=0x00000000")->IsTypedKeyDown());
    for (const char* bad : {"", "not a counter", "20 start", "21 4 t title=\"unclosed"}) {
        EXPECT_FALSE(ParseLogLine(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace e2e
