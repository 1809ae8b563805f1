#pragma once
// The words of a command line or of a command, split as CommandLineToArgvW splits them,
// read as options: "name" or "name=value", with "/" or "-" before the name and ":" for
// "=" as command lines write them ("/log:C:\x.log"). Names are matched in any case; when
// a name is given twice, the later word counts and the earlier one is left unused.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

class Arguments {
  public:
    explicit Arguments(std::wstring_view text);
    // This program's command line less its own name, after the words of `before`.
    static Arguments OfThisProgram(std::wstring_view before = {});

    // The first word as it is, taken as a verb rather than an option ("" for none).
    std::wstring Verb();
    // Whether the option is given without a value.
    bool Flag(std::wstring_view name);
    // The option's value; an option given without one is Bad().
    std::optional<std::wstring> Text(std::wstring_view name);
    // A value of up to 9 decimal digits; any other value is Bad().
    std::optional<UINT> Number(std::wstring_view name);

    // The words that nothing above took, in order.
    std::vector<std::wstring> Unused() const;
    // The first word whose value could not be read as asked ("" when none).
    const std::wstring& Bad() const { return bad_; }

  private:
    struct Word {
        std::wstring text;
        std::wstring name;
        std::optional<std::wstring> value;
        bool used = false;
    };

    void Add(std::wstring text);
    // The last word of that name that nothing took yet, now taken.
    Word* Take(std::wstring_view name);
    // `readable`, noting the word as Bad() when it is not.
    bool Readable(const Word& word, bool readable);

    std::vector<Word> words_;
    std::wstring bad_;
};

}  // namespace standin
