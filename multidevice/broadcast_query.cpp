#include "multidevice/broadcast_query.h"

#include "device/settings_query.h"
#include "persistence/profile_record.h"

QString broadcastQuery(const ProfileValue &panels)
{
    return settingsQuery(recordFromProfile(panels), QueryTail::SaveOnly);
}
