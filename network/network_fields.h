#pragma once

#include <QString>

// The instrument's network configuration as the operator sees and types it.
struct NetworkFields
{
    QString mac;
    QString ip;
    QString mask;
    QString gateway;
    bool dhcp = false;
};
