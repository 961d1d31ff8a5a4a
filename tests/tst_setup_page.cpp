// The setup page parser on the simulated instrument's pages, and on copies
// of them edited into what an instrument might also send.
#include "support/test_support.h"

#include "device/setup_page_parser.h"
#include "sim/dxu_sim_pages.h"

#include <QObject>

namespace {

// A select's code, or -1 when its pattern did not match.
template <typename T> int found(const std::optional<T> &code) { return code ? int(*code) : -1; }

SetupPageFields parse(const QByteArray &body) { return parseSetupPage(setupPageText(body)); }

// The page with one field's value attribute replaced.
QByteArray withValue(QByteArray page, const char *name, const QByteArray &from,
                     const QByteArray &to)
{
    const QByteArray field = QByteArray("name=\"") + name + "\" value=\"";
    const QByteArray old = field + from + '"';
    if (!page.contains(old))
        qFatal("no %s in the page", old.constData());
    return page.replace(old, field + to + '"');
}

} // namespace

class SetupPageTest : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryField_data();
    void readsEveryField();
    void readsExponentValues();
    void oneDigitExponentLeavesTheTwelveFields();
    void missingDoubledQuoteLeavesTheTwelveFields();
    void valueThatDoesNotConvertGivesZero();
    void extraValuesDoNotShiftTheFields();
    void missingSelectLeavesOnlyItsField();
    void ignoresNulBytesAndLineFeeds();
    void refusesTextsLongerThanTheBound();
    void recognisesTheSetupPageHeading();
};

void SetupPageTest::readsEveryField_data()
{
    QTest::addColumn<int>("model");
    QTest::newRow("DXU2") << 2;
    QTest::newRow("DXU3") << 3;
}

void SetupPageTest::readsEveryField()
{
    QFETCH(int, model);
    DxuSimState s;
    s.ts1 = 6;
    s.ts2 = 1;
    s.p1 = 1.5;
    s.p2 = 1234.57;
    s.pn1 = 7;
    s.pn2 = 131072;
    s.ch1_st1 = 1;
    s.ch1_et1 = 11; // the page shows widths: 10, 20, 30, 40
    s.ch1_st2 = 2;
    s.ch1_et2 = 22;
    s.ch2_st1 = 3;
    s.ch2_et1 = 33;
    s.ch2_st2 = 4;
    s.ch2_et2 = 44;
    s.freq1 = 3;
    s.freq2 = 2;
    const SetupPageFields fields = parse(setupPage(s, model));

    QVERIFY(fields.timing);
    const SetupPageFields::Timing &t = *fields.timing;
    QCOMPARE(t.p1, 1.5);
    QCOMPARE(t.p2, 1234.57);
    QCOMPARE(t.pn1, 7);
    QCOMPARE(t.pn2, 131072);
    QCOMPARE(t.ch1_st1, 1.0);
    QCOMPARE(t.ch1_et1, 11.0);
    QCOMPARE(t.ch1_st2, 2.0);
    QCOMPARE(t.ch1_et2, 22.0);
    QCOMPARE(t.ch2_st1, 3.0);
    QCOMPARE(t.ch2_et1, 33.0);
    QCOMPARE(t.ch2_st2, 4.0);
    QCOMPARE(t.ch2_et2, 44.0);
    QCOMPARE(found(fields.ts1), 6);
    QCOMPARE(found(fields.ts2), 1);
    QCOMPARE(found(fields.freq1), 3);
    QCOMPARE(found(fields.freq2), 2);
    QCOMPARE(fields.isDxu3, model == 3);

    GeneratorSettings record;
    applySetupPage(fields, record);
    QCOMPARE(record.p1, 1.5);
    QCOMPARE(record.pn2, 131072);
    QCOMPARE(record.ch2_et2, 44.0);
    QCOMPARE(int(record.ts1), 6);
    QCOMPARE(int(record.ts2), 1);
    QCOMPARE(record.freq1, 3);
    QCOMPARE(record.freq2, 2);
}

void SetupPageTest::readsExponentValues()
{
    DxuSimState s;
    s.ch1_st1 = 0.00002;
    s.ch1_et1 = 0.00006;
    s.ch2_st2 = 5;
    s.ch2_et2 = 5.00008;
    const QByteArray page = setupPage(s, 3);
    QVERIFY(page.contains("value=\"4e-05\""));
    const SetupPageFields fields = parse(page);

    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->ch1_st1, 2e-05);
    QCOMPARE(fields.timing->ch1_et1, 6e-05);
    QCOMPARE(fields.timing->ch2_et2, 5.00008);
    QCOMPARE(fields.timing->p1, 300.0);
}

void SetupPageTest::oneDigitExponentLeavesTheTwelveFields()
{
    DxuSimState s;
    s.p1 = 12;
    s.ts1 = 2;
    const QByteArray page = withValue(setupPage(s, 3), "ch1_et2", "200", "1e-5");
    const SetupPageFields fields = parse(page);
    QVERIFY(!fields.timing);
    QCOMPARE(found(fields.ts1), 2);

    GeneratorSettings record;
    record.p1 = 77;
    record.ch1_et2 = 88;
    applySetupPage(fields, record);
    QCOMPARE(record.p1, 77.0);
    QCOMPARE(record.ch1_et2, 88.0);
    QCOMPARE(int(record.ts1), 2);
}

void SetupPageTest::missingDoubledQuoteLeavesTheTwelveFields()
{
    DxuSimState s;
    s.freq2 = 1;
    QByteArray page = setupPage(s, 2);
    QCOMPARE(page.count("\"\""), 1);
    page.replace("\"\"", "\"");
    const SetupPageFields fields = parse(page);
    QVERIFY(!fields.timing);
    QCOMPARE(found(fields.freq2), 1);
}

void SetupPageTest::valueThatDoesNotConvertGivesZero()
{
    // "3x5" fits the any-character point of the second group but is no number.
    QByteArray page = withValue(setupPage(DxuSimState(), 3), "p2", "300\"", "3x5\"");
    page = withValue(page, "pn1", "1", "99999999999");
    const SetupPageFields fields = parse(page);
    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->p2, 0.0);
    QCOMPARE(fields.timing->pn1, 0);
    QCOMPARE(fields.timing->p1, 300.0);
}

void SetupPageTest::extraValuesDoNotShiftTheFields()
{
    // Numeric value attributes beyond the thirteen the pattern names: the
    // twelve fields are the earliest ones that fit, as on the instrument.
    DxuSimState s;
    s.ch1_st1 = 1;
    s.ch1_et1 = 2;
    s.ch2_st2 = 6;
    s.ch2_et2 = 18;
    QByteArray page = setupPage(s, 3);
    page.replace("</form>", "<input type=\"hidden\" name=\"a\" value=\"901\">"
                            "<input type=\"hidden\" name=\"b\" value=\"902\">"
                            "<input type=\"hidden\" name=\"c\" value=\"903\"></form>");
    const SetupPageFields fields = parse(page);
    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->ch1_st1, 1.0);
    QCOMPARE(fields.timing->ch1_et1, 2.0);
    QCOMPARE(fields.timing->ch2_st2, 6.0);
    QCOMPARE(fields.timing->ch2_et2, 18.0);
    QCOMPARE(fields.timing->pn2, 1);
}

void SetupPageTest::missingSelectLeavesOnlyItsField()
{
    DxuSimState s;
    s.ts1 = 4;
    s.ts2 = 1;
    s.freq1 = 2;
    s.freq2 = 3;
    QByteArray page = setupPage(s, 3);
    page.replace("<select name=\"freq1\">", "<select name=\"f1\">");
    const SetupPageFields fields = parse(page);
    QVERIFY(fields.timing);
    QCOMPARE(found(fields.ts1), 4);
    QCOMPARE(found(fields.ts2), 1);
    QVERIFY(!fields.freq1);
    QCOMPARE(found(fields.freq2), 3);

    GeneratorSettings record;
    record.freq1 = 1;
    applySetupPage(fields, record);
    QCOMPARE(record.freq1, 1);
    QCOMPARE(record.freq2, 3);
}

void SetupPageTest::ignoresNulBytesAndLineFeeds()
{
    DxuSimState s;
    s.p1 = 250;
    s.ts1 = 1;
    QByteArray body = setupPage(s, 3);
    // NULs and line feeds inside a value, the model marker and a select.
    body.replace("value=\"250\"", QByteArray("value=\"2\0005\n0\"", 13));
    body.replace("s0\">v", QByteArray("s0\"\0>v", 6));
    body.replace("<option value=1 selected", QByteArray("<opt\0ion value=1 sel\nected", 26));
    body.append(QByteArray(100, '\0'));
    QCOMPARE(body.count('\0'), 103);

    removeNulBytes(body);
    QVERIFY(!body.contains('\0'));
    QVERIFY(body.contains("value=\"25\n0\""));
    const SetupPageFields fields = parse(body);
    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->p1, 250.0);
    QCOMPARE(found(fields.ts1), 1);
    QVERIFY(fields.isDxu3);
}

void SetupPageTest::refusesTextsLongerThanTheBound()
{
    const QString page = setupPageText(setupPage(DxuSimState(), 3));
    const QString filler = QStringLiteral("<!-- padding -->");

    QString atBound = page;
    atBound.insert(0, filler.repeated(MaxSetupPageLength / filler.size() + 1)
                          .left(MaxSetupPageLength - page.size()));
    QCOMPARE(atBound.size(), MaxSetupPageLength);
    QVERIFY(parseSetupPage(atBound).timing);

    const SetupPageFields refused = parseSetupPage(atBound + QLatin1Char(' '));
    QVERIFY(!refused.timing);
    QVERIFY(!refused.ts1);
    QVERIFY(!refused.ts2);
    QVERIFY(!refused.freq1);
    QVERIFY(!refused.freq2);
    QVERIFY(!refused.isDxu3);
}

void SetupPageTest::recognisesTheSetupPageHeading()
{
    QVERIFY(holdsSetupPage(setupPage(DxuSimState(), 2)));
    QVERIFY(holdsSetupPage("<h3>Human Readable \nsetup</h3>"));
    QVERIFY(!holdsSetupPage(QByteArray()));
    QVERIFY(!holdsSetupPage("<h3>human readable setup</h3>"));
    QVERIFY(!holdsSetupPage(notFoundPage(QStringLiteral("/sg_hr_setup2.shtml"))));
}

DXU_TEST_MAIN(SetupPageTest)
#include "tst_setup_page.moc"
