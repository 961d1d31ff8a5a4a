#include "multidevice/broadcast_query.h"

#include "device/settings_query.h"

GeneratorSettings recordFromPanels(const ProfileValue &panels)
{
    GeneratorSettings r;
    r.ts1 = static_cast<std::uint8_t>(panels.ts1);
    r.ts2 = static_cast<std::uint8_t>(panels.ts2);
    r.p1 = panels.p1;
    r.p2 = panels.p2;
    r.pn1 = panels.pn1;
    r.pn2 = panels.pn2;
    // Channels in the order Ch1, Ch2 (generator 1), Ch3, Ch4 (generator 2).
    r.ch1_st1 = panels.delay[0];
    r.ch1_et1 = panels.delay[0] + panels.width[0];
    r.ch2_st1 = panels.delay[1];
    r.ch2_et1 = panels.delay[1] + panels.width[1];
    r.ch1_st2 = panels.delay[2];
    r.ch1_et2 = panels.delay[2] + panels.width[2];
    r.ch2_st2 = panels.delay[3];
    r.ch2_et2 = panels.delay[3] + panels.width[3];
    r.freq1 = panels.freq1;
    r.freq2 = panels.freq2;
    return r;
}

QString broadcastQuery(const ProfileValue &panels)
{
    return settingsQuery(recordFromPanels(panels), QueryTail::SaveOnly);
}
