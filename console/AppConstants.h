#pragma once

#include "ConsoleSettings.h"

// The program's own names, for message-box titles and the settings store.
// Windows include this instead of reaching up into the application class.
namespace AppConstants {

inline constexpr const char* kOrganization = ConsoleSettings::kOrganization;
inline constexpr const char* kApplication = ConsoleSettings::kApplication;

} // namespace AppConstants
