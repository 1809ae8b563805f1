#include "e2e/standin/arguments.h"

#include <shellapi.h>

namespace standin {

namespace {

// `line`'s words after the first, which CommandLineToArgvW reads as a program's name.
std::vector<std::wstring> WordsAfterTheFirst(const std::wstring& line) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> words;
    for (int i = 1; args != nullptr && i < count; ++i) {
        words.emplace_back(args[i]);
    }
    LocalFree(args);
    return words;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

Arguments::Arguments(std::wstring_view text) {
    // A placeholder goes first: CommandLineToArgvW reads the first word by a program
    // name's rules, and an empty line as this program's path.
    for (auto& word : WordsAfterTheFirst(L"x " + std::wstring(text))) {
        Add(std::move(word));
    }
}

Arguments Arguments::OfThisProgram(std::wstring_view before) {
    Arguments arguments(before);
    for (auto& word : WordsAfterTheFirst(GetCommandLineW())) {
        arguments.Add(std::move(word));
    }
    return arguments;
}

void Arguments::Add(std::wstring text) {
    std::wstring_view body = text;
    if (body.starts_with(L'/') || body.starts_with(L'-')) {
        body.remove_prefix(1);
    }
    const size_t separator = body.find_first_of(L"=:");
    Word word{.name = std::wstring(body.substr(0, separator))};
    if (separator != std::wstring_view::npos) {
        word.value = body.substr(separator + 1);
    }
    word.text = std::move(text);
    words_.push_back(std::move(word));
}

std::wstring Arguments::Verb() {
    if (words_.empty() || words_.front().used) {
        return L"";
    }
    words_.front().used = true;
    return words_.front().text;
}

Arguments::Word* Arguments::Take(std::wstring_view name) {
    for (auto it = words_.rbegin(); it != words_.rend(); ++it) {
        if (!it->used && SameName(it->name, name)) {
            it->used = true;
            return &*it;
        }
    }
    return nullptr;
}

bool Arguments::Readable(const Word& word, bool readable) {
    if (!readable && bad_.empty()) {
        bad_ = word.text;
    }
    return readable;
}

bool Arguments::Flag(std::wstring_view name) {
    const Word* word = Take(name);
    return word != nullptr && Readable(*word, !word->value);
}

std::optional<std::wstring> Arguments::Text(std::wstring_view name) {
    const Word* word = Take(name);
    if (word == nullptr || !Readable(*word, word->value && !word->value->empty())) {
        return std::nullopt;
    }
    return word->value;
}

std::optional<UINT> Arguments::Number(std::wstring_view name) {
    const Word* word = Take(name);
    if (word == nullptr ||
        !Readable(*word, word->value && !word->value->empty() && word->value->size() <= 9 &&
                             word->value->find_first_not_of(L"0123456789") == std::wstring::npos)) {
        return std::nullopt;
    }
    return static_cast<UINT>(std::stoul(*word->value));
}

std::vector<std::wstring> Arguments::Unused() const {
    std::vector<std::wstring> unused;
    for (const auto& word : words_) {
        if (!word.used) {
            unused.push_back(word.text);
        }
    }
    return unused;
}

}  // namespace standin
