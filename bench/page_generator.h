#pragma once

// Pages for comparing the linear page matchers with QRegExp: the simulated
// instrument's setup and network pages with random settings, edited the ways
// a page can go wrong (a quote dropped, a digit doubled, attributes swapped,
// tags in upper case, the doubled quote missing, one-digit exponents, huge
// numbers, truncation, NUL bytes), and token soups built from the patterns'
// own pieces, where near misses and ambiguous captures are common.
#include "device/setup_page_parser.h"
#include "network/network_page.h"
#include "sim/dxu_sim_pages.h"

#include <QString>

#include <array>
#include <cmath>
#include <iterator>
#include <random>

class PageGenerator
{
public:
    explicit PageGenerator(quint64 seed) : rng(seed) {}

    // The next page as the matchers see it (NUL bytes, when kept, and line
    // feeds included: the patterns' functions take any text).
    QString next()
    {
        switch (below(10)) {
        case 0:
        case 1:
            return mutated(setupBody());
        case 2:
            return mutated(networkBody());
        case 3:
        case 4:
        case 5:
            return soup(below(2) ? 40 : 15);
        case 6:
            return spliced(setupBody());
        case 7:
            return mutated(soup(30).toLatin1());
        default:
            return numbersSoup();
        }
    }

    // A simulated setup page padded with random rows to about `size` bytes.
    QString large(int size)
    {
        QByteArray page = setupBody();
        QByteArray rows;
        while (page.size() + rows.size() < size)
            rows += "<tr><TD>x</TD><TD>" + soup(12).toLatin1() + "</TD></tr>\n";
        page.insert(below(2) ? page.indexOf("</table>") : page.indexOf("<tr>"), rows);
        return mutated(page.left(size));
    }

private:
    std::mt19937_64 rng;

    int below(int n) { return int(rng() % quint64(n)); }
    bool chance(int percent) { return below(100) < percent; }

    QByteArray digits(int n)
    {
        QByteArray d;
        for (int i = 0; i < n; ++i)
            d += char('0' + below(10));
        return d;
    }

    // Milliseconds at and around the fields' limits, in the instrument's %g.
    double time()
    {
        static const double limits[] = {0,       2e-05, 4e-05, 1e-05,     0.0001,
                                        0.00012, 0.5,   1,     299.99998, 300,
                                        1234.57, 10736, 1e+06, 1.5e+07,   123456789};
        if (chance(50))
            return limits[below(int(std::size(limits)))];
        return std::ldexp(double(rng() % 1000000), -below(30));
    }

    QByteArray setupBody()
    {
        DxuSimState s;
        s.ts1 = std::array{0, 1, 2, 4, 6}[below(5)];
        s.ts2 = below(2);
        s.p1 = time();
        s.p2 = time();
        s.pn1 = chance(20) ? 131072 : below(1000);
        s.pn2 = chance(10) ? 2147483647 : below(1000);
        for (double *t : {&s.ch1_st1, &s.ch1_et1, &s.ch2_st1, &s.ch2_et1, &s.ch1_st2, &s.ch1_et2,
                          &s.ch2_st2, &s.ch2_et2})
            *t = time();
        s.freq1 = below(4);
        s.freq2 = below(4);
        s.thresholdVolts = time();
        return setupPage(s, 2 + below(2));
    }

    QByteArray networkBody()
    {
        DxuSimNetwork n;
        for (quint8 &b : n.mac)
            b = quint8(chance(30) ? below(16) : below(256));
        for (auto *address : {&n.ip, &n.mask, &n.gateway})
            for (quint8 &b : *address)
                b = quint8(chance(30) ? 255 : below(256));
        n.dhcp = chance(50);
        return networkPage(n);
    }

    // A number the way the patterns' groups may or may not take it.
    QByteArray number()
    {
        switch (below(9)) {
        case 0:
            return digits(1 + below(3));
        case 1:
            return digits(1 + below(4)) + '.' + digits(below(13));
        case 2:
            return digits(1 + below(2)) + "e-" + digits(1 + below(3));
        case 3:
            return digits(20 + below(300)); // huge
        case 4:
            return digits(1 + below(3)) + "\"" + digits(below(12));
        case 5:
            return digits(1 + below(3)) + QByteArray(1, "x.:e-\"v "[below(8)]) + digits(below(3));
        case 6: // an address, the separators not always dots
            return digits(1 + below(3)) + '.' + digits(1 + below(3)) + "\"." + digits(1) + '.' +
                   digits(1 + below(2));
        case 7:
            return QByteArray();
        default: { // a MAC, sometimes in upper case or with a group too long
            QByteArray mac;
            for (int i = 0; i < 6 - below(2); ++i)
                mac += (i ? ":" : "") + QByteArray::number(below(chance(90) ? 256 : 4096), 16);
            return chance(10) ? mac.toUpper() : mac;
        }
        }
    }

    QByteArray valueAttribute()
    {
        static const char *const closers[] = {"\"", "\"", "\"", "\"\"", "\"\"\"", "", "\">"};
        return "value=\"" + number() + closers[below(int(std::size(closers)))];
    }

    QString soup(int maxTokens)
    {
        static const char *const pieces[] = {"value=\"",
                                             "\"",
                                             "\"\"",
                                             ".",
                                             "e-",
                                             "e",
                                             "-",
                                             ":",
                                             " ",
                                             ">",
                                             "x",
                                             "value=",
                                             "v",
                                             "select name=\"ts1\">",
                                             "select name=\"ts2\">",
                                             "<select name=\"freq1\">",
                                             "<select name=\"freq2\">",
                                             "<option value=",
                                             " selected=\"selected\"",
                                             " selected=\"selected\">",
                                             "<option value=3 selected=\"selected\"",
                                             "<option value=1 selected=\"selected\">",
                                             "High Level</option></select></TD><TD>",
                                             "</option></select></TD></tr>",
                                             "</option></select></TD><TD>",
                                             "<p class=\"s0\">v",
                                             "<p class=\"s0\">v.3",
                                             "3",
                                             "<input type=\"checkbox\" name=\"dhcp\" value=\"1\"",
                                             "CHECKED",
                                             "/>",
                                             "CHECKED/>"};
        QString text;
        const int n = below(maxTokens) + 1;
        for (int i = 0; i < n; ++i) {
            if (chance(45))
                text += QLatin1String(valueAttribute());
            else if (chance(20))
                text += QLatin1String(digits(1 + below(4)));
            else
                text += QLatin1String(pieces[below(int(std::size(pieces)))]);
        }
        return text;
    }

    // Mostly numeric value attributes: what makes the settings pattern
    // ambiguous.
    QString numbersSoup()
    {
        QString text;
        const int n = 10 + below(20);
        for (int i = 0; i < n; ++i)
            text += QLatin1String(valueAttribute()) + QLatin1String(chance(70) ? "" : " ");
        return text;
    }

    QString spliced(QByteArray page)
    {
        for (int i = below(4); i >= 0; --i)
            page.insert(below(int(page.size()) + 1), soup(8).toLatin1());
        return mutated(page);
    }

    // Up to five edits; then the NUL bytes go as the panel drops them, or
    // stay, and sometimes a digit outside Latin-1 replaces one.
    QString mutated(QByteArray page)
    {
        for (int i = below(6); i > 0 && !page.isEmpty(); --i)
            edit(page);
        if (chance(10))
            for (int i = below(8); i >= 0; --i)
                page.insert(below(int(page.size()) + 1), '\0');
        if (chance(70))
            removeNulBytes(page);
        QString text = chance(80) ? setupPageText(page) : QString::fromLatin1(page);
        for (int i = chance(10) ? below(4) : 0; i > 0 && !text.isEmpty(); --i) {
            qsizetype at = below(int(text.size()));
            while (at < text.size() && !text[at].isDigit())
                ++at;
            if (at < text.size())
                text[at] = QChar(below(2) ? 0x0663 : 0xFF15); // Arabic-Indic 3, fullwidth 5
        }
        return text;
    }

    qsizetype somewhere(const QByteArray &page, const QByteArray &what)
    {
        const qsizetype count = page.count(what);
        if (count == 0)
            return -1;
        qsizetype at = page.indexOf(what);
        for (int k = below(int(count)); k > 0; --k)
            at = page.indexOf(what, at + 1);
        return at;
    }

    void edit(QByteArray &page)
    {
        const int size = int(page.size());
        switch (below(12)) {
        case 0: // a quote dropped
            if (const qsizetype at = somewhere(page, "\""); at >= 0)
                page.remove(at, 1);
            break;
        case 1: { // a digit doubled
            const qsizetype at = somewhere(page, QByteArray(1, char('0' + below(10))));
            if (at >= 0)
                page.insert(at, page[at]);
            break;
        }
        case 2: { // two value attributes swapped
            const qsizetype a = somewhere(page, "value=\""), b = somewhere(page, "value=\"");
            if (a >= 0 && b > a + 7) {
                const qsizetype aEnd = page.indexOf('"', a + 7), bEnd = page.indexOf('"', b + 7);
                if (aEnd > 0 && bEnd > 0 && aEnd < b) {
                    const QByteArray first = page.mid(a, aEnd - a), second = page.mid(b, bEnd - b);
                    page.replace(b, bEnd - b, first);
                    page.replace(a, aEnd - a, second);
                }
            }
            break;
        }
        case 3: { // tags in upper case
            const int at = below(size), n = below(200);
            page.replace(at, n, page.mid(at, n).toUpper());
            break;
        }
        case 4: // the doubled quote missing
            if (const qsizetype at = somewhere(page, "\"\""); at >= 0)
                page.remove(at, 1);
            break;
        case 5: // a one-digit exponent
            if (const qsizetype at = somewhere(page, "e-0"); at >= 0)
                page.remove(at + 2, 1);
            else
                page.insert(below(size + 1), "value=\"" + digits(1) + "e-" + digits(1) + '"');
            break;
        case 6: // a huge number or a long fraction in a value
            if (const qsizetype at = somewhere(page, "value=\""); at >= 0)
                page.insert(at + 7,
                            chance(50) ? digits(10 + below(500)) : "." + digits(9 + below(4)));
            break;
        case 7: // truncated
            page.truncate(below(size + 1));
            break;
        case 8: // a span dropped
            page.remove(below(size), 1 + below(40));
            break;
        case 9: // a span repeated
        {
            const int at = below(size);
            page.insert(below(size + 1), page.mid(at, 1 + below(300)));
            break;
        }
        case 10:
            page.insert(below(size + 1), valueAttribute());
            break;
        default: // a line feed or NUL inside
            page.insert(below(size + 1), chance(50) ? '\n' : '\0');
            break;
        }
    }
};
