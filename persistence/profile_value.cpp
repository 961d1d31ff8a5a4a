#include "persistence/profile_value.h"

#include "device/number_format.h"

#include <QStringList>

#include <cmath>

QString formatProfileValue(const ProfileValue &p)
{
    QStringList fields;
    fields << QString::number(p.ts1) << QString::number(p.ts2) << formatGeneral(p.p1)
           << formatGeneral(p.p2) << QString::number(p.pn1) << QString::number(p.pn2);
    for (int ch = 0; ch < 4; ++ch)
        fields << formatGeneral(p.delay[ch]) << formatGeneral(p.width[ch]);
    fields << QString::number(p.freq1) << QString::number(p.freq2);
    return fields.join(QLatin1Char('|'));
}

namespace {
class FieldReader
{
public:
    explicit FieldReader(const QString &text) : fields(text.split(QLatin1Char('|'))) {}

    int integer(int position) const { return field(position).toInt(); }
    // "nan", "inf" and overflowing reals ("1e400", read as infinity) are no
    // numbers a box can show: they read as 0 like any other non-number.
    double real(int position) const
    {
        bool ok = false;
        const double value = field(position).toDouble(&ok);
        return ok && std::isfinite(value) ? value : 0.0;
    }

private:
    QString field(int position) const
    {
        return position <= fields.size() ? fields.at(position - 1) : QString();
    }
    QStringList fields;
};
} // namespace

ProfileValue parseProfileValue(const QString &text)
{
    // toInt() gives 0 for anything that is not a decimal integer.
    const FieldReader in(text);
    ProfileValue p;
    p.ts1 = in.integer(1);
    p.ts2 = in.integer(2);
    p.p1 = in.real(3);
    p.p2 = in.real(4);
    p.pn1 = in.integer(5);
    p.pn2 = in.integer(6);
    for (int ch = 0; ch < 4; ++ch) {
        p.delay[ch] = in.real(7 + 2 * ch);
        p.width[ch] = in.real(8 + 2 * ch);
    }
    p.freq1 = in.integer(15);
    p.freq2 = in.integer(16);
    return p;
}
