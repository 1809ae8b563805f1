#pragma once
// The preselector's own words, in one place.
#include <string_view>

namespace preselector {

inline constexpr std::u16string_view kMessageTitle = u"Tobrin's Utilities";
inline constexpr std::u16string_view kInvalidOptionPrompt = u"Invalid Shutdown Option in ";
inline constexpr std::u16string_view kExitPrompt =
    u"This will close Dormello and revert to the Windows default\r\n\r\n"
    u"Are you sure you want to Exit?";
inline constexpr std::u16string_view kSaveFailedPrompt = u"Your settings could not be saved to ";
inline constexpr std::u16string_view kSaveFailedDetail =
    u"\r\n\r\nDormello will use them until it ends, but they will be lost then. "
    u"Check that the file is not read-only and that its folder exists.";
inline constexpr std::u16string_view kAppTitle = u"Dormello";
inline constexpr std::u16string_view kCredits = u"Tobrin's Utilities\r\n\r\nQUINTARO";

}  // namespace preselector
