#include "sim/dxu_sim_requests.h"

#include "sim/dxu_sim_pages.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// The largest time the generators take, in milliseconds (32-bit tick counts
// at 160 ns).
const double kMaxTimeMs = 687194.0;

using Query = QHash<QString, QString>;

Query parseQuery(const QString &query)
{
    Query values;
    for (const QString &pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? pair : pair.left(eq);
        const QString value = eq < 0 ? QString() : pair.mid(eq + 1);
        values.insert(key, QString::fromUtf8(QByteArray::fromPercentEncoding(value.toUtf8())));
    }
    return values;
}

// Each value is taken only when it is one the instrument can hold; anything
// else leaves that setting as it was.
bool takeTime(const Query &q, const char *key, double &target)
{
    bool ok = false;
    const double value = q.value(QLatin1String(key)).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0 || value > kMaxTimeMs)
        return false;
    target = value;
    return true;
}

bool takeInt(const Query &q, const char *key, int low, int high, int &target)
{
    bool ok = false;
    const int value = q.value(QLatin1String(key)).toInt(&ok);
    if (!ok || value < low || value > high)
        return false;
    target = value;
    return true;
}

bool takeSource(const Query &q, const char *key, std::initializer_list<int> codes, int &target)
{
    int value = -1;
    if (!takeInt(q, key, 0, 9, value) ||
        std::find(codes.begin(), codes.end(), value) == codes.end())
        return false;
    target = value;
    return true;
}

bool flagSet(const Query &q, const char *key) { return q.value(QLatin1String(key)) == "1"; }

QString applySettings(DxuSimState &s, const Query &q)
{
    struct TimeKey
    {
        const char *key;
        double *value;
    };
    const TimeKey times[] = {{"p1", &s.p1},           {"p2", &s.p2},
                             {"ch1_st1", &s.ch1_st1}, {"ch1_st2", &s.ch1_st2},
                             {"ch1_et1", &s.ch1_et1}, {"ch1_et2", &s.ch1_et2},
                             {"ch2_st1", &s.ch2_st1}, {"ch2_st2", &s.ch2_st2},
                             {"ch2_et1", &s.ch2_et1}, {"ch2_et2", &s.ch2_et2}};
    QStringList refused;
    for (const TimeKey &time : times)
        if (!takeTime(q, time.key, *time.value))
            refused << QLatin1String(time.key);
    if (!takeSource(q, "ts1", {0, 1, 2, 4, 6}, s.ts1))
        refused << QStringLiteral("ts1");
    if (!takeSource(q, "ts2", {0, 1}, s.ts2))
        refused << QStringLiteral("ts2");
    if (!takeInt(q, "pn1", 0, 0x7fffffff, s.pn1))
        refused << QStringLiteral("pn1");
    if (!takeInt(q, "pn2", 0, 0x7fffffff, s.pn2))
        refused << QStringLiteral("pn2");
    if (!takeInt(q, "freq1", 0, 3, s.freq1))
        refused << QStringLiteral("freq1");
    if (!takeInt(q, "freq2", 0, 3, s.freq2))
        refused << QStringLiteral("freq2");

    QStringList done{refused.isEmpty() ? QStringLiteral("settings applied")
                                       : QStringLiteral("settings applied except %1 (kept)")
                                             .arg(refused.join(QLatin1String(", ")))};
    if (flagSet(q, "sg1_run")) {
        s.gen1Running = true;
        done << QStringLiteral("generator 1 running");
    }
    if (flagSet(q, "sg2_run")) {
        s.gen2Running = true;
        done << QStringLiteral("generator 2 running");
    }
    if (flagSet(q, "save")) {
        ++s.saves;
        done << QStringLiteral("saved");
    }
    return done.join(QLatin1String(", "));
}

QString applyReset(DxuSimState &s, const Query &q)
{
    QStringList done;
    if (flagSet(q, "reset1")) {
        s.gen1Running = false;
        done << QStringLiteral("generator 1 stopped");
    }
    if (flagSet(q, "reset2")) {
        s.gen2Running = false;
        done << QStringLiteral("generator 2 stopped");
    }
    return done.isEmpty() ? QStringLiteral("nothing to reset") : done.join(QLatin1String(", "));
}

QString applyThreshold(DxuSimState &s, const Query &q)
{
    bool ok = false;
    const double volts = q.value(QStringLiteral("volt")).toDouble(&ok);
    if (!ok || !(volts >= 0.05 && volts <= 5.0))
        return QStringLiteral("threshold refused (kept %1 V)").arg(simNumber(s.thresholdVolts));
    s.thresholdVolts = volts;
    return QStringLiteral("threshold %1 V").arg(simNumber(volts));
}

// "aa:bb:cc:dd:ee:ff", one or two hex digits per octet.
bool parseMac(const QString &text, std::array<quint8, 6> &mac)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 6)
        return false;
    std::array<quint8, 6> octets{};
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 16);
        if (!ok || parts[i].size() > 2 || parts[i].startsWith(QLatin1Char('+')))
            return false;
        octets[i] = static_cast<quint8>(value);
    }
    mac = octets;
    return true;
}

bool parseDotted(const QString &text, std::array<quint8, 4> &address)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    std::array<quint8, 4> octets{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 10);
        if (!ok || value > 255 || parts[i].size() > 3 || parts[i].startsWith(QLatin1Char('+')))
            return false;
        octets[i] = static_cast<quint8>(value);
    }
    address = octets;
    return true;
}

QString applyNetwork(DxuSimNetwork &n, const Query &q)
{
    QStringList refused;
    if (!parseMac(q.value(QStringLiteral("mac")), n.mac))
        refused << QStringLiteral("mac");
    if (!parseDotted(q.value(QStringLiteral("ip")), n.ip))
        refused << QStringLiteral("ip");
    if (!parseDotted(q.value(QStringLiteral("netmask")), n.mask))
        refused << QStringLiteral("netmask");
    if (!parseDotted(q.value(QStringLiteral("gw")), n.gateway))
        refused << QStringLiteral("gw");
    n.dhcp = flagSet(q, "dhcp");
    return refused.isEmpty() ? QStringLiteral("network settings stored (used after a restart)")
                             : QStringLiteral("network settings stored except %1 (kept)")
                                   .arg(refused.join(QLatin1String(", ")));
}

DxuSimAnswer page(const QByteArray &body, const QString &summary)
{
    return DxuSimAnswer{200, body, summary};
}

} // namespace

DxuSimAnswer answerRequest(DxuSimState &state, int model, const QString &target)
{
    const qsizetype queryStart = target.indexOf(QLatin1Char('?'));
    const QString path = queryStart < 0 ? target : target.left(queryStart);
    const QString queryText = queryStart < 0 ? QString() : target.mid(queryStart + 1);
    const Query query = parseQuery(queryText);

    if (path == QLatin1String("/sg_hr_setup.shtml") || path == QLatin1String("/sg_hr_setup2.shtml"))
        return page(setupPage(state, model), QStringLiteral("setup page"));
    if (path == QLatin1String("/sg_hr_run.shtml")) {
        const QString done = applySettings(state, query);
        return page(setupPage(state, model), done + QLatin1String("; setup page"));
    }
    if (path == QLatin1String("/sg_run.shtml")) {
        const QString done = applyReset(state, query);
        return page(setupPage(state, model), done + QLatin1String("; setup page"));
    }
    if (path == QLatin1String("/tt.shtml") && model == 3) {
        const QString done = applyThreshold(state, query);
        return page(setupPage(state, model), done + QLatin1String("; setup page"));
    }
    if (path == QLatin1String("/network.shtml")) {
        if (queryText.isEmpty())
            return page(networkPage(state.network), QStringLiteral("network page"));
        const QString done = applyNetwork(state.network, query);
        return page(networkPage(state.network), done + QLatin1String("; network page"));
    }
    return DxuSimAnswer{404, notFoundPage(path), QStringLiteral("not found")};
}
