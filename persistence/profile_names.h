#pragma once

#include <QString>

// Names the profile store cannot keep as they are typed. The store reads "/"
// as a group separator and, on Windows, turns "\" into one: such a profile
// would vanish from the Profiles menu although it seemed saved. Every other
// character (blanks at either end, "=", ";", "#", non-ASCII) comes back
// unchanged.
namespace ProfileNames {
inline const char *const ForbiddenCharacters = "/\\";

bool hasForbiddenCharacter(const QString &name);
} // namespace ProfileNames
