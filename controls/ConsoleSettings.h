#pragma once

#include <memory>

class QSettings;

// The console's per-user settings store, shared by every window that keeps
// settings so they all land in the same store and group.
namespace ConsoleSettings {

inline constexpr const char* kOrganization = "TARNOVE TECHNOLOGIES";
inline constexpr const char* kApplication = "Velquist";
inline constexpr const char* kGroup = "VelqConsole";

std::unique_ptr<QSettings> OpenSettings();

// The stored integer, or nDefault when the key is missing or not a number.
int ReadInt(const QSettings& settings, const char* pszKey, int nDefault);

} // namespace ConsoleSettings
