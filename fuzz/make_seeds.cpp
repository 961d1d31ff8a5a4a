// Writes the generated seeds into <corpus>/<target>/: the pages, frames and
// texts the panel meets from a working instrument, store and operator.
// Usage: fuzz_make_seeds fuzz/corpus

#include "device/settings_query.h"
#include "device/usb_frames.h"
#include "network/network_page.h"
#include "persistence/profile_value.h"
#include "sim/dxu_sim_pages.h"
#include "sim/dxu_sim_requests.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {
QString corpus;

void seed(const char *target, const char *name, const QByteArray &bytes)
{
    const QString dir = corpus + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(dir);
    QFile file(dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

QByteArray frameBytes(const UsbFrame &frame, int from)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()) + from,
                      static_cast<qsizetype>(frame.size()) - from);
}

GeneratorSettings busyRecord()
{
    GeneratorSettings r;
    r.ts1 = 4;
    r.ts2 = 1;
    r.p1 = 1234.5678;
    r.p2 = 0.00002;
    r.pn1 = 131072;
    r.pn2 = 7;
    r.ch1_st1 = 0.00002;
    r.ch1_et1 = 0.00006;
    r.ch2_st1 = 12.5;
    r.ch2_et1 = 600;
    r.ch1_st2 = 0.5;
    r.ch1_et2 = 1.5;
    r.ch2_st2 = 100;
    r.ch2_et2 = 100.25;
    r.freq1 = 3;
    r.freq2 = 1;
    return r;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    corpus = QString::fromLocal8Bit(argv[1]);
    const DxuSimState plain;
    // The simulated instrument as the panel's own requests leave it.
    DxuSimState busy;
    busy.network.dhcp = true;
    answerRequest(busy, 3, settingsQuery(busyRecord(), QueryTail::RunBoth));
    answerRequest(busy, 3, thresholdPath(0.75));

    seed("setup_page", "dxu2-default.html", setupPage(plain, 2));
    seed("setup_page", "dxu3-default.html", setupPage(plain, 3));
    seed("setup_page", "dxu2-busy.html", setupPage(busy, 2));
    seed("setup_page", "dxu3-busy.html", setupPage(busy, 3));
    seed("network_page", "static.html", networkPage(plain.network));
    seed("network_page", "dhcp.html", networkPage(busy.network));

    seed("profile_value", "default", ProfileFormat::DefaultValue);
    ProfileValue profile;
    profile.ts1 = 6;
    profile.p1 = 1234.5678;
    profile.delay[1] = 0.00002;
    profile.width[3] = 1.5e6;
    profile.pn2 = 131072;
    profile.freq2 = 3;
    seed("profile_value", "busy", formatProfileValue(profile).toUtf8());

    // Status frames: the settings frame without its code byte, of both
    // models, and every length around them.
    UsbSettingsBlock block;
    copyRecordToBlock(busyRecord(), block);
    block.thresholdVolts = 0.75f;
    seed("usb_status", "dxu2-52", frameBytes(settingsFrame(block, false), 1));
    seed("usb_status", "dxu3-56", frameBytes(settingsFrame(block, true), 1));
    for (const int length : {0, 1, 51, 53, 55, 57, 64}) {
        const QByteArray name = "length-" + QByteArray::number(length);
        seed("usb_status", name.constData(),
             frameBytes(settingsFrame(block, true), 1).leftJustified(length, '\x5a', true));
    }

    QByteArray identity(32, '\0');
    for (int i = 0; i < 10; ++i)
        identity[i] = static_cast<char>(0xA0 + i * 7);
    const char network[] = {0, 0x00,      0x1b, char(0xc5), 0x0a, 0x0b, 0x0c, 127, 0, 0,
                            1, char(255), 0,    0,          0,    127,  0,    0,   1};
    identity.replace(13, 19, QByteArray(network, 19));
    seed("identity_reply", "dxu2", identity);
    identity[10] = 3;
    identity[13] = 1;
    seed("identity_reply", "dxu3-dhcp", identity);

    // The DHCP box in the first byte.
    seed("network_block", "typed",
         QByteArray(1, 0) + "00:1b:c5:0a:0b:0c\n127.0.0.1\n255.0.0.0\n127.0.0.1");
    seed("network_block", "c-forms",
         QByteArray(1, 1) + " 0x1F:+7:-5:FFF:0xg:\n 010.+1.-1.300.9\n\t255.255\n");
    seed("scpi_parser", "idn", "*IDN?");
    seed("scpi_parser", "paths", ":SOUR:GEN1:PER 1.5MS;COUN 3;:CHAN4:DEL?;*OPC?");
    seed("scpi_parser", "strings", "MEM:SAVE \"a;b\"\"c\";SYST:COMM:LAN:IPAD '1.2.3.4'");
    seed("scpi_parser", "numbers", "GEN2:TBAS 40NS;PER +.5E-3 S;:TRIG:LEV 250mV;:GEN1:STAT ON");
    seed("address_check", "ip", "127.0.0.1");
    seed("address_check", "ip-zeros", "010.001.000.001");
    seed("address_check", "ip-short", "1.2.3");
    seed("address_check", "mac", "00:1B:C5:0A:0B:0C");
    seed("address_check", "mac-short-groups", "a:b:c:d:e:f");

    // Model in the first byte: odd for a DXU3.
    const auto request = [](char model, const QString &target) {
        return QByteArray(1, model) + target.toLatin1();
    };
    seed("sim_requests", "settings", request(1, settingsQuery(busyRecord(), QueryTail::RunBoth)));
    seed("sim_requests", "save",
         request(0, settingsQuery(GeneratorSettings(), QueryTail::SaveOnly)));
    seed("sim_requests", "reset", request(0, QLatin1String(DevicePaths::ResetBoth)));
    seed("sim_requests", "threshold", request(1, thresholdPath(0.75)));
    seed("sim_requests", "setup", request(1, QLatin1String(DevicePaths::Setup)));
    NetworkFields fields{QStringLiteral("00:1B:C5:0A:0B:0C"), QStringLiteral("127.0.0.2"),
                         QStringLiteral("255.255.255.0"), QStringLiteral("127.0.0.1"), true};
    seed("sim_requests", "network-write", request(0, NetworkPage::writePath(fields)));
    seed("sim_requests", "network-read", request(0, QLatin1String(NetworkPage::Path)));
    return 0;
}
