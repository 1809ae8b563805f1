#include "preselector/settings.h"

#include "common/text.h"
#include "common/trim_at_nul.h"

namespace preselector {

std::u16string SettingsPathIn(std::u16string_view folder) {
    return std::u16string(folder) + u"\\" + std::u16string(kSettingsFileName);
}

std::u16string ReadSetting(desktop::PlatformShell& shell, std::u16string_view path,
                           std::u16string_view section, std::u16string_view key) {
    std::u16string buffer(kReadBufferSize, u' ');
    shell.GetPrivateProfileStringA(section, key, kMissingValue, buffer, kReadBufferSize, path);
    return common::TrimAtNul(buffer);
}

bool WriteSetting(desktop::PlatformShell& shell, std::u16string_view path,
                  std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    return shell.WritePrivateProfileStringA(section, key, value, path);
}

bool ReadsAsTrue(desktop::PlatformShell& shell, std::u16string_view value) {
    return shell.UpperCase(value) == u"TRUE";
}

}  // namespace preselector
