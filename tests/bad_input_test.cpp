// Start-up's input on the simulated desktop: command lines, ordinary and odd, and damaged,
// unusual or unreachable settings files. The preselector always starts and settles a key (or asks
// the user, naming the file), never crashes or hangs, answers a shutdown dialog that
// opens afterwards with exactly one Alt+key, and a Save keeps the rest of the file.
#include <sys/stat.h>

#include <functional>
#include <optional>
#include <ostream>
#include <random>

#include "desktop/key_strokes.h"
#include "preselector/preselector.h"
#include "sim_fixture.h"

namespace {

using namespace testing_support;
using namespace std::string_literals;
using preselector::Preselector;

constexpr std::u16string_view kDialog = u"Shut Down Windows";
constexpr std::u16string_view kSettingsPath = u"C:\\TOOLS\\QUINTARO.INI";
constexpr std::size_t kTenMegabytes = 10U << 20;

bool MessageUp(const sim::SimulatedDesktop& d) {
    return !d.Messages().empty() && d.Messages().back().answer == 0;
}

// The user deals with whatever the program put up: OK on a message box, Esc on the
// options dialog, which comes only after the box; nothing when nothing is up.
sim::Step AnswerWhateverIsUp() {
    return {"answer whatever is up", [](sim::SimulatedDesktop& d) {
                if (MessageUp(d)) {
                    sim::Answer(desktop::kAnswerOk).apply(d);
                } else if (d.FormByName("frmDormellos") != nullptr) {
                    EXPECT_FALSE(d.Messages().empty()) << "the dialog came before the box";
                    sim::PressEscape("frmDormellos").apply(d);
                }
            }};
}

// Deterministic bytes of every value, NUL and line breaks included.
std::string Garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(random() & 0xFF);
    return bytes;
}

// About 10 MB of comment lines.
std::string TenMegabytesOfComments() {
    const std::string line = "; " + std::string(98, 'c') + "\r\n";
    std::string bytes;
    bytes.reserve(kTenMegabytes + line.size());
    while (bytes.size() < kTenMegabytes) bytes += line;
    return bytes;
}

class BadInputTest : public SimTest {
  protected:
    // Start-up, with the user answering whatever comes up, then a shutdown dialog.
    void RunWithDialogAfterwards() {
        for (int i = 0; i < 3; ++i) desktop.Then(AnswerWhateverIsUp());
        desktop.Then(sim::OpenWindow(std::u16string(kDialog)));
        endedItself = desktop.Run([&] { app.StartUp(); });
    }
    // Exactly one Alt+key into the dialog for a key; nothing at all without one.
    void ExpectDialogAnswered(std::u16string_view sent) const {
        EXPECT_EQ(desktop.KeysReceivedBy(kDialog), sent);
        EXPECT_EQ(desktop.Typed().size(), sent.empty() ? 0U : 1U);
    }
    // The user was told, naming the file, and ended the program from the dialog.
    void ExpectToldNamingTheFile() const {
        ASSERT_EQ(desktop.Messages().size(), 1U);
        const auto& box = desktop.Messages()[0];
        EXPECT_EQ(box.title, u"Tobrin's Utilities");
        EXPECT_EQ(box.style, desktop::kStyleCriticalOk);
        EXPECT_EQ(box.prompt, u"Invalid Shutdown Option in " + std::u16string(kSettingsPath));
        EXPECT_TRUE(endedItself);
        EXPECT_FALSE(app.g.WatcherRunning);  // the main window never came
        EXPECT_EQ(desktop.Beeps(), 1);
    }

    Preselector app{desktop};
    bool endedItself = false;
};

// ---- Command lines, with and without a settings file -------------------------------------

struct CommandLineCase {
    const char* name;
    std::u16string commandLine;
    std::optional<std::string> settings;  // nullopt: no settings file
    std::u16string key;                   // empty: the user had to act, and cancelled
    bool hide;
    std::u16string sent;  // what the shutdown dialog receives
};

// Test names and failure reports show a case by its name.
void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.name; }

std::u16string TenThousandCharacters() { return u"m" + std::u16string(9994, u'x') + u",TRUE"; }

const std::string kValidFile = "[Shutdown]\r\nOption=k\r\n";

const CommandLineCase kCommandLineCases[] = {
    {"empty, no file", u"", std::nullopt, u"", false, u""},
    {"empty, key in the file", u"", kValidFile, u"K", false, u"%K"},
    {"spaces only, no file", u"     ", std::nullopt, u"", false, u""},
    {"spaces only, key in the file", u"     ", kValidFile, u"K", false, u"%K"},
    {"10000 characters", TenThousandCharacters(), std::nullopt, u"M", true, u"%M"},
    {"Latin-1 letter is upper-cased", u"\u00e9,true", std::nullopt, u"\u00c9", true, u"%\u00c9"},
    {"y with diaeresis becomes its capital outside Latin-1", u"\u00ff", std::nullopt, u"\u0178",
     false, u"%\u0178"},
    {"CJK character", u"\u4e2d\u6587", std::nullopt, u"\u4e2d", false, u"%\u4e2d"},
    {"character beyond the BMP keeps its first UTF-16 unit", u"\U0001F600", std::nullopt, u"\xD83D",
     false, u"%\xD83D"},
    {"plus", u"+", std::nullopt, u"+", false, u"%{+}"},
    {"caret", u"^", std::nullopt, u"^", false, u"%{^}"},
    {"percent", u"%", std::nullopt, u"%", false, u"%{%}"},
    {"tilde", u"~", std::nullopt, u"~", false, u"%{~}"},
    {"open parenthesis", u"(", std::nullopt, u"(", false, u"%{(}"},
    {"close parenthesis", u")", std::nullopt, u")", false, u"%{)}"},
    {"open brace", u"{", std::nullopt, u"{", false, u"%{{}"},
    {"close brace", u"}", std::nullopt, u"}", false, u"%{}}"},
    {"open bracket", u"[", std::nullopt, u"[", false, u"%{[}"},
    {"close bracket", u"]", std::nullopt, u"]", false, u"%{]}"},
    {"leading spaces make the comma the key", u"  ,TRUE", std::nullopt, u",", true, u"%,"},
    {"tab is not trimmed and is the key", u"\t", std::nullopt, u"\t", false, u"%\t"},
    {"CR LF", u"\r\n", std::nullopt, u"\r", false, u"%\r"},
    {"control character with a flag", u"\x01,true", std::nullopt, u"\x01", true, u"%\x01"},
    {"escape character", u"\x1b", std::nullopt, u"\x1b", false, u"%\x1b"},
    {"control character as the flag shows the window", u"r,\x07", kValidFile, u"R", false, u"%R"},
    // The ordinary ones.
    {"key and flag from the command line, file ignored", u"s,true",
     "[Shutdown]\r\nHide=False\r\nOption=Y\r\n", u"S", true, u"%S"},
    {"key from the command line, flag from the file", u"R", "[Shutdown]\r\nHide=True\r\n", u"R",
     true, u"%R"},
    {"no file: hide reads as false", u"R", std::nullopt, u"R", false, u"%R"},
    {"comma with nothing after it reads the file", u"R,", "[Shutdown]\r\nHide=true\r\n", u"R", true,
     u"%R"},
    {"comma with spaces after it reads the file", u"R,   ", "[Shutdown]\r\nHide=TRUE\r\n", u"R",
     true, u"%R"},
    {"any other flag word shows the window", u"R,no", "[Shutdown]\r\nHide=True\r\n", u"R", false,
     u"%R"},
    {"FALSE overrides the file", u"S,false", "[Shutdown]\r\nHide=True\r\n", u"S", false, u"%S"},
    {"only the first character is the key", u"ST,TRUE", std::nullopt, u"S", true, u"%S"},
    {"flag in any case", u"q,TrUe", std::nullopt, u"Q", true, u"%Q"},
    {"flag trimmed of spaces", u"q,  true  ", std::nullopt, u"Q", true, u"%Q"},
    {"spaces around the command line are not part of it", u"  r  ", std::nullopt, u"R", false,
     u"%R"},
    {"a digit is a key like any other", u"7", std::nullopt, u"7", false, u"%7"},
    {"no command line: both from the file", u"", "[shutdown]\r\nhide = True \r\noption = Y\r\n",
     u"Y", true, u"%Y"},
};

class CommandLineTest : public BadInputTest,
                        public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, StartsSettlesAKeyAndAnswersTheDialogOnce) {
    const auto& c = GetParam();
    desktop.SetCommandLine(c.commandLine);
    if (c.settings) WriteSettings(*c.settings);

    RunWithDialogAfterwards();

    EXPECT_EQ(app.g.ShortcutKey, c.key);
    EXPECT_EQ(app.g.CommandText, common::TrimSpaces(c.commandLine));
    EXPECT_EQ(app.g.SettingsPath, kSettingsPath);
    ExpectDialogAnswered(c.sent);
    if (c.key.empty()) {
        ExpectToldNamingTheFile();
    } else {
        EXPECT_EQ(app.g.HideWindow, c.hide);
        EXPECT_TRUE(desktop.Messages().empty());
        EXPECT_TRUE(app.g.WatcherRunning);
    }
    // Start-up only reads.
    EXPECT_EQ(std::filesystem::exists(SettingsFile()), c.settings.has_value());
    if (c.settings) {
        EXPECT_EQ(Settings(), *c.settings);
    }
}

INSTANTIATE_TEST_SUITE_P(BadInput, CommandLineTest, ::testing::ValuesIn(kCommandLineCases),
                         [](const auto& tc) { return CaseName(tc.param.name); });

// ---- Settings files, read at start-up ------------------------------------------------------

struct SettingsCase {
    const char* name;
    std::function<std::string()> bytes;
    // Run after the file is written: makes it read-only, puts a folder there...
    std::function<void(const std::filesystem::path& file)> arrange;
    std::u16string key;  // empty: no valid key, so the user must act
    bool hide;
};

void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

std::string Bytes(std::string_view text) { return std::string(text); }

void MakeReadOnly(const std::filesystem::path& file) { ::chmod(file.c_str(), 0444); }

void PutFolderThere(const std::filesystem::path& file) {
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
}

const SettingsCase kSettingsCases[] = {
    {"binary garbage", [] { return Garbage(64 << 10, 1); }, nullptr, u"", false},
    {"binary garbage around a valid section",
     [] {
         return Garbage(64 << 10, 2) + "\n[Shutdown]\nOption=g\nHide=true\n" + Garbage(64 << 10, 3);
     },
     nullptr, u"G", true},
    {"10 MB of comments with the section last",
     [] { return TenMegabytesOfComments() + "[Shutdown]\r\nOption=t\r\n"; }, nullptr, u"T", false},
    {"10 MB on one line", [] { return "[Shutdown]\r\nOption=" + std::string(kTenMegabytes, 'x'); },
     nullptr, u"", false},
    {"no final newline", [] { return Bytes("[Shutdown]\r\nHide=True\r\nOption=n"); }, nullptr, u"N",
     true},
    {"CRLF", [] { return Bytes("[Shutdown]\r\nOption=c\r\nHide=true\r\n"); }, nullptr, u"C", true},
    {"LF", [] { return Bytes("[Shutdown]\nOption=l\nHide=true\n"); }, nullptr, u"L", true},
    {"CRLF and LF mixed", [] { return Bytes("[Other]\nA=1\r\n[Shutdown]\r\nHide=true\nOption=x"); },
     nullptr, u"X", true},
    {"CR alone is no line break, so the file is one header line",
     [] { return Bytes("[Shutdown]\rOption=m\rHide=true\r"); }, nullptr, u"", false},
    {"UTF-8 byte-order mark", [] { return Bytes("\xEF\xBB\xBF[Shutdown]\r\nOption=b\r\n"); },
     nullptr, u"B", false},
    {"duplicate sections and keys: the first of each counts",
     [] {
         return Bytes(
             "[Shutdown]\r\nOption=1\r\nOption=2\r\n[shutdown]\r\nOption=3\r\nHide=True\r\n");
     },
     nullptr, u"1", false},
    {"300-character value", [] { return "[Shutdown]\r\nOption=" + std::string(300, 'v') + "\r\n"; },
     nullptr, u"", false},
    {"300-character value of another key",
     [] { return "[Shutdown]\r\nNote=" + std::string(300, 'v') + "\r\nOption=w\r\n"; }, nullptr,
     u"W", false},
    {"NUL inside the value ends it", [] { return "[Shutdown]\r\nOption=a\0b\r\n"s; }, nullptr, u"A",
     false},
    {"empty file", [] { return std::string(); }, nullptr, u"", false},
    {"no section", [] { return Bytes("[Other]\r\nOption=S\r\n"); }, nullptr, u"", false},
    {"empty value", [] { return Bytes("[Shutdown]\r\nOption=\r\n"); }, nullptr, u"", false},
    {"two characters", [] { return Bytes("[Shutdown]\r\nOption=ab\r\n"); }, nullptr, u"", false},
    {"spaces only", [] { return Bytes("[Shutdown]\r\nOption=   \r\n"); }, nullptr, u"", false},
    {"read-only file with a key", [] { return Bytes("[Shutdown]\r\nOption=r\r\nHide=True\r\n"); },
     MakeReadOnly, u"R", true},
    {"read-only file without a key", [] { return Bytes("[Shutdown]\r\nHide=True\r\n"); },
     MakeReadOnly, u"", false},
    {"folder where the file should be", [] { return std::string(); }, PutFolderThere, u"", false},
};

class SettingsFileTest : public BadInputTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsFileTest, StartsOrAsksNamingTheFile) {
    const auto& c = GetParam();
    const std::string bytes = c.bytes();
    WriteSettings(bytes);
    if (c.arrange) c.arrange(SettingsFile());
    const bool isFile = std::filesystem::is_regular_file(SettingsFile());

    RunWithDialogAfterwards();

    EXPECT_EQ(app.g.ShortcutKey, c.key);
    if (c.key.empty()) {
        ExpectToldNamingTheFile();
        ExpectDialogAnswered(u"");
    } else {
        EXPECT_EQ(app.g.HideWindow, c.hide);
        EXPECT_TRUE(desktop.Messages().empty());
        ExpectDialogAnswered(u"%" + desktop::LiteralKey(c.key[0]));
    }
    // Start-up only reads: the file (or the folder in its place) is as it was.
    if (isFile) {
        EXPECT_TRUE(Settings() == bytes) << "the settings file changed";
    } else {
        EXPECT_TRUE(std::filesystem::is_directory(SettingsFile()));
        EXPECT_TRUE(std::filesystem::is_empty(SettingsFile()));
    }
}

INSTANTIATE_TEST_SUITE_P(BadInput, SettingsFileTest, ::testing::ValuesIn(kSettingsCases),
                         [](const auto& tc) { return CaseName(tc.param.name); });

// ---- Saving from the options dialog --------------------------------------------------------

// The file is `before` + `oldLines` + `after`; a Save of key R with Hide ticked must
// leave exactly `before` + `newLines` + `after`.
struct SaveCase {
    const char* name;
    std::function<std::string()> before;
    std::string oldLines;
    std::string newLines;
    std::function<std::string()> after;
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

std::function<std::string()> Text(std::string text) {
    return [text = std::move(text)] { return text; };
}

const SaveCase kSaveCases[] = {
    {"CRLF with other sections and comments around",
     Text("; my tools\r\n[Other]\r\nColour=Blue\r\n\r\n[Shutdown]\r\n"),
     "Option=S\r\nHide=False\r\n", "Option=R\r\nHide=True\r\n",
     Text("Note=keep me\r\n[Last]\r\nX=1\r\n")},
    {"LF only", Text("[Other]\nA=1\n[Shutdown]\n"), "Hide=False\nOption=S\n",
     "Hide=True\nOption=R\n", Text("\n[Last]\nX=1\n")},
    {"no final newline", Text("[Shutdown]\r\n"), "Option=S\r\nHide=False", "Option=R\r\nHide=True",
     Text("")},
    {"CRLF and LF mixed", Text("[A]\r\nx=1\n[Shutdown]\n"), "Hide=False\r\ny=2\nOption=S\r\n",
     "Hide=True\r\ny=2\nOption=R\r\n", Text("z=3\n")},
    {"UTF-8 byte-order mark", Text("\xEF\xBB\xBF[Shutdown]\r\n"), "Option=S\r\nHide=False\r\n",
     "Option=R\r\nHide=True\r\n", Text("[Other]\r\nA=1\r\n")},
    {"keys missing from the section are added after its last line",
     Text("[Shutdown]\r\nNote=x\r\n"), "", "Hide=True\r\nOption=R\r\n",
     Text("\r\n[Other]\r\nA=1\r\n")},
    {"no section: added at the end", Text("[Other]\r\nA=1\r\n"), "",
     "[Shutdown]\r\nHide=True\r\nOption=R\r\n", Text("")},
    {"duplicate sections and keys: only the first of each changes", Text("[Shutdown]\r\n"),
     "Option=S\r\nOption=2\r\nHide=False\r\n", "Option=R\r\nOption=2\r\nHide=True\r\n",
     Text("[shutdown]\r\nOption=3\r\nHide=x\r\n")},
    {"spacing of a key line goes, its spelling stays", Text("[SHUTDOWN]\r\n"),
     "  OPTION = s  \r\n\thide\t=\tfalse\r\n", "OPTION=R\r\nhide=True\r\n", Text("")},
    {"lines the reader cannot parse, and binary bytes",
     [] { return "\0\xFF junk\r\n[broken\r\n=no name\r\n[Shutdown]\r\n"s; },
     "Option=S\r\nno equals sign\r\n;Hide=comment\r\nHide=False\r\n",
     "Option=R\r\nno equals sign\r\n;Hide=comment\r\nHide=True\r\n",
     [] { return Garbage(4096, 4); }},
    {"300-character values around",
     [] { return "[Shutdown]\r\nA=" + std::string(300, 'a') + "\r\n"; },
     "Option=S\r\nHide=False\r\n", "Option=R\r\nHide=True\r\n",
     [] { return "B=" + std::string(300, 'b') + "\r\n"; }},
    {"10 MB file", [] { return TenMegabytesOfComments() + "[Shutdown]\r\n"; },
     "Option=S\r\nHide=False\r\n", "Option=R\r\nHide=True\r\n", TenMegabytesOfComments},
    {"a 10 MB line with NULs in the section",
     [] {
         std::string line(kTenMegabytes, 'x');
         for (std::size_t i = 0; i < line.size(); i += 4096) line[i] = '\0';
         return "[Shutdown]\r\n" + line + "\r\n";
     },
     "", "Hide=True\r\nOption=R\r\n", Text("")},
};

class SaveKeepsTheRestTest : public BadInputTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveKeepsTheRestTest, OnlyTheSavedLinesChange) {
    const auto& c = GetParam();
    const std::string before = c.before();
    const std::string after = c.after();
    WriteSettings(before + c.oldLines + after);
    desktop.SetCommandLine(u"s");  // start-up needs no key from the file
    desktop.Then(sim::Click("frmDormello", "cmdChangeOptions"))
        .Then(sim::ReplaceText("frmDormellos", "txtShutDownOption", u"r"))
        .Then(sim::SetCheck("frmDormellos", "chkHideIcon", 1))
        .Then(sim::Click("frmDormellos", "cmdSave"))
        .Then(sim::OpenWindow(std::u16string(kDialog)));

    EXPECT_FALSE(desktop.Run([&] { app.StartUp(); }));

    EXPECT_TRUE(desktop.Messages().empty());
    ExpectDialogAnswered(u"%R");
    const std::string saved = Settings();
    // The bytes before and after the changed lines, then the whole file.
    ASSERT_GE(saved.size(), before.size() + after.size());
    EXPECT_TRUE(saved.compare(0, before.size(), before) == 0) << "bytes before the keys changed";
    EXPECT_TRUE(saved.compare(saved.size() - after.size(), after.size(), after) == 0)
        << "bytes after the keys changed";
    EXPECT_EQ(saved.substr(before.size(), saved.size() - before.size() - after.size()), c.newLines);
}

INSTANTIATE_TEST_SUITE_P(BadInput, SaveKeepsTheRestTest, ::testing::ValuesIn(kSaveCases),
                         [](const auto& tc) { return CaseName(tc.param.name); });

}  // namespace
