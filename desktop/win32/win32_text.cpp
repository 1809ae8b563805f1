#include "desktop/win32/win32_text.h"

#include "common/text.h"

namespace desktop::win32 {

std::string ToAnsi(std::u16string_view text) {
    if (text.empty()) return {};
    const auto* source = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, source, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::u16string FromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int chars = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(chars), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        chars);
    return out;
}

std::string ErrorText(DWORD error) {
    // The A form: Windows 95, 98 and ME implement no FormatMessageW.
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::u16string text = message != nullptr ? FromAnsi(std::string_view(message, length)) : u"";
    if (message != nullptr) LocalFree(message);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ' ||
                             text.back() == u'.')) {
        text.pop_back();
    }
    return common::ToUtf8(text) + (text.empty() ? "" : " ") + "(error " + std::to_string(error) +
           ")";
}

DWORD TimeoutMillis(long long millis) {
    if (millis <= 0) return 0;
    if (millis >= static_cast<long long>(INFINITE)) return INFINITE - 1;
    return static_cast<DWORD>(millis);
}

}  // namespace desktop::win32
