#pragma once

#include <QtGlobal>

#include <array>

// The network configuration the instrument keeps (and would use after a
// restart): addresses as four octets, first dotted component first.
struct DxuSimNetwork
{
    std::array<quint8, 6> mac = {0x00, 0x1b, 0xc5, 0x0a, 0x0b, 0x0c};
    std::array<quint8, 4> ip = {127, 0, 0, 1};
    std::array<quint8, 4> mask = {255, 0, 0, 0};
    std::array<quint8, 4> gateway = {127, 0, 0, 1};
    bool dhcp = false;

    bool operator==(const DxuSimNetwork &other) const
    {
        return mac == other.mac && ip == other.ip && mask == other.mask &&
               gateway == other.gateway && dhcp == other.dhcp;
    }
};

// Everything the simulated instrument holds. The sixteen settings carry the
// names of the query keys; times are milliseconds and every channel keeps
// its pulse start and pulse end, as the settings query sends them.
struct DxuSimState
{
    int ts1 = 0; // start source codes: 0, 1, 2, 4, 6 (generator 1); 0, 1 (generator 2)
    int ts2 = 0;
    double p1 = 300;
    double p2 = 300;
    int pn1 = 1;
    int pn2 = 1;
    double ch1_st1 = 0;
    double ch1_et1 = 200;
    double ch2_st1 = 0;
    double ch2_et1 = 200;
    double ch1_st2 = 0;
    double ch1_et2 = 200;
    double ch2_st2 = 0;
    double ch2_et2 = 200;
    int freq1 = 0; // time base: 0..3 for 20, 40, 80, 160 ns per tick
    int freq2 = 0;

    bool gen1Running = false;
    bool gen2Running = false;
    int saves = 0; // how often the settings were saved ("save=1")
    double thresholdVolts = 5.0;
    DxuSimNetwork network;

    bool operator==(const DxuSimState &o) const
    {
        return ts1 == o.ts1 && ts2 == o.ts2 && p1 == o.p1 && p2 == o.p2 && pn1 == o.pn1 &&
               pn2 == o.pn2 && ch1_st1 == o.ch1_st1 && ch1_et1 == o.ch1_et1 &&
               ch2_st1 == o.ch2_st1 && ch2_et1 == o.ch2_et1 && ch1_st2 == o.ch1_st2 &&
               ch1_et2 == o.ch1_et2 && ch2_st2 == o.ch2_st2 && ch2_et2 == o.ch2_et2 &&
               freq1 == o.freq1 && freq2 == o.freq2 && gen1Running == o.gen1Running &&
               gen2Running == o.gen2Running && saves == o.saves &&
               thresholdVolts == o.thresholdVolts && network == o.network;
    }
    bool operator!=(const DxuSimState &o) const { return !(*this == o); }
};
