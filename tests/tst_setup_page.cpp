// The setup page parser on hand-made pages laid out as the instrument serves
// them: the values of both generators in one table, the source and time-base
// selects, the model marker.
#include "support/test_support.h"

#include "device/setup_page_parser.h"

#include <QObject>

namespace {

// The values as the page shows them: widths, not ends.
struct PageValues
{
    QString p1 = QStringLiteral("300");
    QString p2 = QStringLiteral("300");
    QString pn1 = QStringLiteral("1");
    QString pn2 = QStringLiteral("1");
    QString ch1Start1 = QStringLiteral("0");
    QString ch1Start2 = QStringLiteral("0");
    QString ch1Width1 = QStringLiteral("200");
    QString ch1Width2 = QStringLiteral("200");
    QString ch2Start1 = QStringLiteral("0");
    QString ch2Start2 = QStringLiteral("0");
    QString ch2Width1 = QStringLiteral("200");
    QString ch2Width2 = QStringLiteral("200");
    int ts1 = 0;
    int ts2 = 0;
    int freq1 = 0;
    int freq2 = 0;
    bool model3 = false;
    bool doubledQuoteAfterP2 = true; // the instrument's page writes value="…""
};

QString options(const QStringList &labels, int selected)
{
    QString html;
    for (int i = 0; i < labels.size(); ++i) {
        const int code = labels[i].section(QLatin1Char('|'), 0, 0).toInt();
        const QString label = labels[i].section(QLatin1Char('|'), 1);
        html += QStringLiteral("<option value=%1").arg(code);
        html += code == selected ? QStringLiteral(" selected=\"selected\">") : QStringLiteral(">");
        html += label + QStringLiteral("</option>\n");
    }
    return html;
}

QString input(const QString &name, const QString &value, const QString &after = QString())
{
    return QStringLiteral("<input type=\"text\" size=\"12\" name=\"%1\" value=\"%2\"%3>")
        .arg(name, value, after);
}

QString setupPage(const PageValues &v)
{
    const QStringList sources1 = {QStringLiteral("0|Software"), QStringLiteral("1|Ext. Sync"),
                                  QStringLiteral("2|Ext.Trig. Rising Edge"),
                                  QStringLiteral("4|Ext.Trig. Lowering Edge"),
                                  QStringLiteral("6|Ext.Trig. High Level")};
    const QStringList sources2 = {QStringLiteral("0|Software"), QStringLiteral("1|Gen1 Slave")};
    const QStringList bases = {QStringLiteral("0|20 ns"), QStringLiteral("1|40 ns"),
                               QStringLiteral("2|80 ns"), QStringLiteral("3|160 ns")};
    QString html;
    html += QStringLiteral("<html>\n<head><title>DXU setup</title>\n"
                           "<meta http-equiv=\"Content-Type\" content=\"text/html\">\n"
                           "</head>\n<body>\n<h3>Human Readable setup</h3>\n");
    html += v.model3 ? QStringLiteral("<p class=\"s0\">v.3.0</p>\n")
                     : QStringLiteral("<p class=\"s0\">v.2.4</p>\n");
    html += QStringLiteral("<form method=\"get\" action=\"sg_hr_run.shtml\">\n<table border=1>\n"
                           "<tr><TD></TD><TD>Generator #1</TD><TD>Generator #2</TD></tr>\n");
    html += QStringLiteral("<tr><TD>Start</TD><TD><select name=\"ts1\">\n") +
            options(sources1, v.ts1) + QStringLiteral("</select></TD><TD><select name=\"ts2\">\n") +
            options(sources2, v.ts2) + QStringLiteral("</select></TD></tr>\n");
    html += QStringLiteral("<tr><TD>Period, ms</TD><TD>") + input(QStringLiteral("p1"), v.p1) +
            QStringLiteral("</TD><TD>") +
            input(QStringLiteral("p2"), v.p2,
                  v.doubledQuoteAfterP2 ? QStringLiteral("\"") : QString()) +
            QStringLiteral("</TD></tr>\n");
    html += QStringLiteral("<tr><TD>Pulses</TD><TD>") + input(QStringLiteral("pn1"), v.pn1) +
            QStringLiteral("</TD><TD>") + input(QStringLiteral("pn2"), v.pn2) +
            QStringLiteral("</TD></tr>\n");
    const auto row = [&](const QString &label, const QString &name1, const QString &value1,
                         const QString &name2, const QString &value2) {
        html += QStringLiteral("<tr><TD>%1</TD><TD>").arg(label) + input(name1, value1) +
                QStringLiteral("</TD><TD>") + input(name2, value2) + QStringLiteral("</TD></tr>\n");
    };
    row(QStringLiteral("Ch1/Ch3 delay"), QStringLiteral("ch1_st1"), v.ch1Start1,
        QStringLiteral("ch1_st2"), v.ch1Start2);
    row(QStringLiteral("Ch1/Ch3 width"), QStringLiteral("ch1_et1"), v.ch1Width1,
        QStringLiteral("ch1_et2"), v.ch1Width2);
    row(QStringLiteral("Ch2/Ch4 delay"), QStringLiteral("ch2_st1"), v.ch2Start1,
        QStringLiteral("ch2_st2"), v.ch2Start2);
    row(QStringLiteral("Ch2/Ch4 width"), QStringLiteral("ch2_et1"), v.ch2Width1,
        QStringLiteral("ch2_et2"), v.ch2Width2);
    html += QStringLiteral("<tr><TD>Time base</TD><TD><select name=\"freq1\">\n") +
            options(bases, v.freq1) +
            QStringLiteral("</select></TD><TD><select name=\"freq2\">\n") +
            options(bases, v.freq2) + QStringLiteral("</select></TD></tr>\n");
    html += QStringLiteral("</table>\n<input type=\"hidden\" name=\"save\" value=\"1\">\n"
                           "<input type=\"submit\" value=\"Apply\">\n</form>\n</body>\n</html>\n");
    return html;
}

// A select's code, or -1 when its pattern did not match.
template <typename T> int found(const std::optional<T> &code) { return code ? int(*code) : -1; }

SetupPageFields parse(const QString &html)
{
    return parseSetupPage(setupPageText(html.toLatin1()));
}

} // namespace

class SetupPageTest : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryFieldOfAPage();
    void turnsWidthsIntoEnds();
    void readsTheModelMarker();
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

void SetupPageTest::readsEveryFieldOfAPage()
{
    PageValues v;
    v.p1 = QStringLiteral("1.5");
    v.p2 = QStringLiteral("1234.56789");
    v.pn1 = QStringLiteral("7");
    v.pn2 = QStringLiteral("131072");
    v.ch1Start1 = QStringLiteral("0.1");
    v.ch1Start2 = QStringLiteral("0.2");
    v.ch2Start1 = QStringLiteral("0.3");
    v.ch2Start2 = QStringLiteral("0.4");
    v.ts1 = 6;
    v.ts2 = 1;
    v.freq1 = 3;
    v.freq2 = 2;
    const SetupPageFields fields = parse(setupPage(v));

    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->p1, 1.5);
    QCOMPARE(fields.timing->p2, 1234.56789);
    QCOMPARE(fields.timing->pn1, 7);
    QCOMPARE(fields.timing->pn2, 131072);
    QCOMPARE(fields.timing->ch1_st1, 0.1);
    QCOMPARE(fields.timing->ch1_st2, 0.2);
    QCOMPARE(fields.timing->ch2_st1, 0.3);
    QCOMPARE(fields.timing->ch2_st2, 0.4);
    QCOMPARE(found(fields.ts1), 6);
    QCOMPARE(found(fields.ts2), 1);
    QCOMPARE(found(fields.freq1), 3);
    QCOMPARE(found(fields.freq2), 2);

    GeneratorSettings record;
    applySetupPage(fields, record);
    QCOMPARE(record.p1, 1.5);
    QCOMPARE(record.pn2, 131072);
    QCOMPARE(record.ch2_st2, 0.4);
    QCOMPARE(int(record.ts1), 6);
    QCOMPARE(int(record.ts2), 1);
    QCOMPARE(record.freq1, 3);
    QCOMPARE(record.freq2, 2);
}

void SetupPageTest::turnsWidthsIntoEnds()
{
    PageValues v;
    v.ch1Start1 = QStringLiteral("1");
    v.ch1Width1 = QStringLiteral("10");
    v.ch1Start2 = QStringLiteral("2");
    v.ch1Width2 = QStringLiteral("20");
    v.ch2Start1 = QStringLiteral("3");
    v.ch2Width1 = QStringLiteral("30");
    v.ch2Start2 = QStringLiteral("4");
    v.ch2Width2 = QStringLiteral("40");
    const SetupPageFields fields = parse(setupPage(v));

    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->ch1_et1, 11.0);
    QCOMPARE(fields.timing->ch1_et2, 22.0);
    QCOMPARE(fields.timing->ch2_et1, 33.0);
    QCOMPARE(fields.timing->ch2_et2, 44.0);
}

void SetupPageTest::readsTheModelMarker()
{
    PageValues v;
    QVERIFY(!parse(setupPage(v)).isDxu3);
    v.model3 = true;
    QVERIFY(parse(setupPage(v)).isDxu3);
    QVERIFY(!parse(QString()).isDxu3);
}

void SetupPageTest::readsExponentValues()
{
    PageValues v;
    v.ch1Start1 = QStringLiteral("2e-05");
    v.ch1Width1 = QStringLiteral("4e-05");
    v.ch2Width2 = QStringLiteral("8e-05");
    const SetupPageFields fields = parse(setupPage(v));

    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->ch1_st1, 2e-05);
    QCOMPARE(fields.timing->ch1_et1, 6e-05);
    QCOMPARE(fields.timing->ch2_et2, 8e-05);
    QCOMPARE(fields.timing->p1, 300.0);
}

void SetupPageTest::oneDigitExponentLeavesTheTwelveFields()
{
    PageValues v;
    v.p1 = QStringLiteral("12");
    v.ts1 = 2;
    v.ch1Width2 = QStringLiteral("1e-5");
    const SetupPageFields fields = parse(setupPage(v));
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
    PageValues v;
    v.doubledQuoteAfterP2 = false;
    v.freq2 = 1;
    const SetupPageFields fields = parse(setupPage(v));
    QVERIFY(!fields.timing);
    QCOMPARE(found(fields.freq2), 1);
}

void SetupPageTest::valueThatDoesNotConvertGivesZero()
{
    // "3x5" fits the any-character point of the second group but is no number.
    PageValues v;
    v.p2 = QStringLiteral("3x5");
    v.pn1 = QStringLiteral("99999999999");
    const SetupPageFields fields = parse(setupPage(v));
    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->p2, 0.0);
    QCOMPARE(fields.timing->pn1, 0);
    QCOMPARE(fields.timing->p1, 300.0);
}

void SetupPageTest::extraValuesDoNotShiftTheFields()
{
    // Numeric value attributes beyond the thirteen the pattern names: the
    // twelve fields are the earliest ones that fit, as on the instrument.
    PageValues v;
    v.ch1Start1 = QStringLiteral("1");
    v.ch2Width2 = QStringLiteral("12");
    QString html = setupPage(v);
    html.replace(QStringLiteral("</form>"),
                 QStringLiteral("<input type=\"hidden\" name=\"a\" value=\"901\">"
                                "<input type=\"hidden\" name=\"b\" value=\"902\">"
                                "<input type=\"hidden\" name=\"c\" value=\"903\"></form>"));
    const SetupPageFields fields = parse(html);
    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->ch1_st1, 1.0);
    QCOMPARE(fields.timing->ch2_et2, 12.0);
    QCOMPARE(fields.timing->pn2, 1);
}

void SetupPageTest::missingSelectLeavesOnlyItsField()
{
    PageValues v;
    v.ts1 = 4;
    v.ts2 = 1;
    v.freq1 = 2;
    v.freq2 = 3;
    QString html = setupPage(v);
    html.replace(QStringLiteral("<select name=\"freq1\">"), QStringLiteral("<select name=\"f1\">"));
    const SetupPageFields fields = parse(html);
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
    PageValues v;
    v.p1 = QStringLiteral("250");
    v.ts1 = 1;
    v.model3 = true;
    QByteArray body = setupPage(v).toLatin1();
    // NULs and line feeds inside values, markers and patterns' literal text.
    body.replace("value=\"250\"", QByteArray("value=\"2\0005\n0\"", 13));
    body.replace("s0\">v", QByteArray("s0\"\0>v", 6));
    body.replace("<option value=1 selected", QByteArray("<opt\0ion value=1 sel\nected", 26));
    body.append(QByteArray(100, '\0'));

    removeNulBytes(body);
    QVERIFY(!body.contains('\0'));
    QVERIFY(body.contains("value=\"25\n0\""));
    const SetupPageFields fields = parseSetupPage(setupPageText(body));
    QVERIFY(fields.timing);
    QCOMPARE(fields.timing->p1, 250.0);
    QCOMPARE(found(fields.ts1), 1);
    QVERIFY(fields.isDxu3);
}

void SetupPageTest::refusesTextsLongerThanTheBound()
{
    PageValues v;
    v.model3 = true;
    const QString page = setupPage(v);
    const QString filler = QStringLiteral("<!-- padding -->");

    QString atBound = page;
    atBound.insert(0, filler.repeated(MaxSetupPageLength / filler.size() + 1)
                          .left(MaxSetupPageLength - page.size()));
    QCOMPARE(atBound.size(), MaxSetupPageLength);
    QVERIFY(parseSetupPage(atBound).timing);

    const QString overBound = atBound + QLatin1Char(' ');
    const SetupPageFields refused = parseSetupPage(overBound);
    QVERIFY(!refused.timing);
    QVERIFY(!refused.ts1);
    QVERIFY(!refused.ts2);
    QVERIFY(!refused.freq1);
    QVERIFY(!refused.freq2);
    QVERIFY(!refused.isDxu3);
}

void SetupPageTest::recognisesTheSetupPageHeading()
{
    PageValues v;
    QVERIFY(holdsSetupPage(setupPage(v).toLatin1()));
    QVERIFY(holdsSetupPage("<h3>Human Readable \nsetup</h3>"));
    QVERIFY(!holdsSetupPage(QByteArray()));
    QVERIFY(!holdsSetupPage("<h3>human readable setup</h3>"));
    QVERIFY(!holdsSetupPage("<html>404 Not Found</html>"));
}

DXU_TEST_MAIN(SetupPageTest)
#include "tst_setup_page.moc"
