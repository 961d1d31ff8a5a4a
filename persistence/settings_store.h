#pragma once

class QSettings;

// The per-user store: the registry key
// "HKEY_CURRENT_USER\Software\Halvorn\DXUControl" on Windows, organisation "Halvorn", application
// "DXUControl" elsewhere. The profiles live in its subkey (group) "Profiles".
// When the environment names a file in DXU_SETTINGS_FILE, that INI file is the
// store instead, on every platform (what the tests use).
namespace SettingsStore {
inline const char *const LastIpKey = "LAST_DXU_IP";
inline const char *const DefaultIp = "192.168.0.0";
inline const char *const ProfilesGroup = "Profiles";

// Both are opened with no parent; the caller owns them.
QSettings *openMainSettings();
QSettings *openProfileSettings();
// Whether the store is the registry (Windows, with no file named in its place).
bool inRegistry();
} // namespace SettingsStore
