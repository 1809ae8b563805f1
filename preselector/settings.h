#pragma once
// The settings file: a profile file in the folder the preselector starts in.
#include <string>
#include <string_view>

#include "desktop/platform_shell.h"

namespace preselector {

inline constexpr std::u16string_view kSettingsFileName = u"QUINTARO.INI";
inline constexpr std::u16string_view kSettingsSection = u"Shutdown";
inline constexpr std::u16string_view kOptionKey = u"Option";
inline constexpr std::u16string_view kHideKey = u"Hide";
// What a read returns for an absent file, section or key.
inline constexpr std::u16string_view kMissingValue = u"!!";
// Every read goes through a buffer of this many characters, so longer values are cut.
inline constexpr int kReadBufferSize = 255;

// The folder as the system reports it, then "\QUINTARO.INI"; nothing is normalised.
std::u16string SettingsPathIn(std::u16string_view folder);

std::u16string ReadSetting(desktop::PlatformShell& shell, std::u16string_view path,
                           std::u16string_view section, std::u16string_view key);
// True when the value was written.
bool WriteSetting(desktop::PlatformShell& shell, std::u16string_view path,
                  std::u16string_view section, std::u16string_view key, std::u16string_view value);

// "True" in any mix of case, with spaces around it already removed by the read.
bool ReadsAsTrue(desktop::PlatformShell& shell, std::u16string_view value);

}  // namespace preselector
