#include "sim/dxu_sim_pages.h"

#include <QStringList>

// The panel reads these pages with fixed patterns (QRegExp, leftmost-longest,
// captures bound to the earliest candidates, the last group to the last one),
// so their layout is part of the protocol:
// - The thirteen numeric value="…" attributes stand in this order: p1, p2,
//   pn1, pn2, the two Ch1/Ch3 delays, the two Ch1/Ch3 widths, the two
//   Ch2/Ch4 delays, the two Ch2/Ch4 widths, then one more (the threshold, or
//   a hidden hardware field on model 2). No other value="<digit>…" attribute
//   appears anywhere, so each group of the settings pattern has exactly one
//   candidate. p2's attribute is followed by a second double quote.
// - Options write their value without quotes (value=4), so they never look
//   like a numeric field, and each select has exactly one selected option.
// - The source selects share a row, ts1's cell ending in
//   "…High Level</option></select></TD><TD>" and ts2's in
//   "</option></select></TD></tr>"; the time-base selects share the next row
//   with the same cell endings.

namespace {

struct Option
{
    int code;
    const char *label;
};

QString select(const QString &name, const QList<Option> &options, int selected,
               const char *selectedMark)
{
    QString html = QStringLiteral("<select name=\"%1\">").arg(name);
    for (const Option &option : options) {
        html += QStringLiteral("\n<option value=%1").arg(option.code);
        html += option.code == selected ? QLatin1String(selectedMark) : QLatin1String(">");
        html += QLatin1String(option.label) + QLatin1String("</option>");
    }
    return html + QLatin1String("</select>");
}

QString field(const QString &name, const QString &value, const char *after = "")
{
    return QStringLiteral("<input type=\"text\" size=\"10\" name=\"%1\" value=\"%2\"%3>")
        .arg(name, value, QLatin1String(after));
}

QString row(const QString &label, const QString &gen1, const QString &gen2)
{
    return QStringLiteral("<tr><TD>%1</TD><TD>%2</TD><TD>%3</TD></tr>\n").arg(label, gen1, gen2);
}

QString dotted(const std::array<quint8, 4> &octets)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(octets[0])
        .arg(octets[1])
        .arg(octets[2])
        .arg(octets[3]);
}

const QList<Option> kTimeBases = {{0, "20 ns"}, {1, "40 ns"}, {2, "80 ns"}, {3, "160 ns"}};
const QList<Option> kSources1 = {{0, "Software"},
                                 {1, "Ext. Sync"},
                                 {2, "Ext.Trig. Rising Edge"},
                                 {4, "Ext.Trig. Lowering Edge"},
                                 {6, "Ext.Trig. High Level"}};
const QList<Option> kSources2 = {{0, "Software"}, {1, "Gen1 Slave"}};

} // namespace

QString simNumber(double value) { return QString::number(value, 'g', 6); }

QByteArray setupPage(const DxuSimState &s, int model)
{
    const bool model3 = model == 3;
    QString html;
    html += QLatin1String("<html><head><title>DXU Human Readable setup</title></head>\n<body>\n");
    html += model3 ? QLatin1String("<p class=\"s0\">v.3.1 DXU3 pulse generator</p>\n")
                   : QLatin1String("<p class=\"s0\">v.2.4 DXU2 pulse generator</p>\n");
    html += QLatin1String("<h1>Human Readable setup</h1>\n");
    html += QLatin1String("<form action=\"/sg_hr_run.shtml\" method=\"get\">\n<table>\n");
    html += row(QString(), QStringLiteral("Generator #1"), QStringLiteral("Generator #2"));
    html += row(QStringLiteral("Start source"),
                select(QStringLiteral("ts1"), kSources1, s.ts1, " selected=\"selected\">"),
                select(QStringLiteral("ts2"), kSources2, s.ts2, " selected=\"selected\">"));
    html += row(QStringLiteral("Time base"),
                select(QStringLiteral("freq1"), kTimeBases, s.freq1, " selected=\"selected\">"),
                select(QStringLiteral("freq2"), kTimeBases, s.freq2, " selected=\"selected\">"));
    html += row(QStringLiteral("Period, ms"), field(QStringLiteral("p1"), simNumber(s.p1)),
                field(QStringLiteral("p2"), simNumber(s.p2), "\""));
    html += row(QStringLiteral("Pulses"), field(QStringLiteral("pn1"), QString::number(s.pn1)),
                field(QStringLiteral("pn2"), QString::number(s.pn2)));
    html += row(QStringLiteral("Ch1 / Ch3 delay, ms"),
                field(QStringLiteral("ch1_st1"), simNumber(s.ch1_st1)),
                field(QStringLiteral("ch1_st2"), simNumber(s.ch1_st2)));
    html += row(QStringLiteral("Ch1 / Ch3 width, ms"),
                field(QStringLiteral("ch1_et1"), simNumber(s.ch1_et1 - s.ch1_st1)),
                field(QStringLiteral("ch1_et2"), simNumber(s.ch1_et2 - s.ch1_st2)));
    html += row(QStringLiteral("Ch2 / Ch4 delay, ms"),
                field(QStringLiteral("ch2_st1"), simNumber(s.ch2_st1)),
                field(QStringLiteral("ch2_st2"), simNumber(s.ch2_st2)));
    html += row(QStringLiteral("Ch2 / Ch4 width, ms"),
                field(QStringLiteral("ch2_et1"), simNumber(s.ch2_et1 - s.ch2_st1)),
                field(QStringLiteral("ch2_et2"), simNumber(s.ch2_et2 - s.ch2_st2)));
    html += row(QStringLiteral("State"),
                s.gen1Running ? QStringLiteral("running") : QStringLiteral("stopped"),
                s.gen2Running ? QStringLiteral("running") : QStringLiteral("stopped"));
    html += QLatin1String("</table>\n");
    if (model3)
        html += QStringLiteral("<p>Trigger threshold, V: %1</p>\n")
                    .arg(field(QStringLiteral("volt"), simNumber(s.thresholdVolts)));
    else
        html += QLatin1String("<input type=\"hidden\" name=\"hw\" value=\"2\">\n");
    html += QLatin1String("<p><input type=\"submit\" name=\"save\" value=\"Save\"></p>\n"
                          "</form>\n</body></html>\n");
    return html.toLatin1();
}

QByteArray networkPage(const DxuSimNetwork &n)
{
    QStringList mac;
    for (quint8 octet : n.mac)
        mac << QStringLiteral("%1").arg(octet, 2, 16, QLatin1Char('0'));
    QString html;
    html += QLatin1String("<html><head><title>DXU Network settings</title></head>\n<body>\n"
                          "<form action=\"/network.shtml\" method=\"get\">\n");
    html += QStringLiteral("<p>MAC: %1</p>\n").arg(field(QStringLiteral("mac"), mac.join(':')));
    html += QStringLiteral("<p>DHCP: <input type=\"checkbox\" name=\"dhcp\" value=\"1\"%1/></p>\n")
                .arg(n.dhcp ? QStringLiteral("CHECKED") : QString());
    html += QStringLiteral("<p>IP: %1</p>\n").arg(field(QStringLiteral("ip"), dotted(n.ip)));
    html +=
        QStringLiteral("<p>Mask: %1</p>\n").arg(field(QStringLiteral("netmask"), dotted(n.mask)));
    html +=
        QStringLiteral("<p>Gateway: %1</p>\n").arg(field(QStringLiteral("gw"), dotted(n.gateway)));
    html += QLatin1String("<p>New settings take effect after a restart.</p>\n"
                          "<input type=\"submit\" value=\"Save\">\n</form>\n</body></html>\n");
    return html.toLatin1();
}

QByteArray notFoundPage(const QString &path)
{
    return QStringLiteral("<html><head><title>404 Not Found</title></head>\n<body>\n"
                          "<h1>Not Found</h1>\n<p>%1 is not on this instrument.</p>\n"
                          "</body></html>\n")
        .arg(path.toHtmlEscaped())
        .toLatin1();
}
