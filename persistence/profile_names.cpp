#include "persistence/profile_names.h"

namespace ProfileNames {

bool hasForbiddenCharacter(const QString &name)
{
    for (const QChar forbidden : QLatin1String(ForbiddenCharacters))
        if (name.contains(forbidden))
            return true;
    return false;
}

} // namespace ProfileNames
