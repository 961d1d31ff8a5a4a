// The SCPI parser and status model, without an instrument.
#include "scpi/scpi_parser.h"
#include "scpi/scpi_status.h"

#include <QTest>

using namespace Scpi;

class ScpiTest : public QObject
{
    Q_OBJECT

    // A parsed line in one text: "PER(1)?" per command, parameters after
    // "=", "!code" for the error ending it, commands joined by " | ".
    static QString shown(const QList<Command> &commands)
    {
        QStringList parts;
        for (const Command &c : commands) {
            if (c.error) {
                parts << QStringLiteral("!%1").arg(c.error);
                continue;
            }
            QStringList nodes;
            for (const Node &n : c.nodes)
                nodes << QString::fromLatin1(n.mnemonic) +
                             (n.suffix >= 0 ? QStringLiteral("(%1)").arg(n.suffix) : QString());
            QString text = (c.common ? QStringLiteral("*") : QString()) +
                           nodes.join(QLatin1Char(':')) +
                           (c.query ? QStringLiteral("?") : QString());
            if (!c.parameters.isEmpty())
                text += QLatin1Char('=') + QString::fromLatin1(c.parameters.join('/'));
            parts << text;
        }
        return parts.join(QLatin1String(" | "));
    }

private slots:
    void parseLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("parsed");
        const auto row = [](const char *name, const char *line, const char *parsed) {
            QTest::newRow(name) << QByteArray(line) << QString::fromLatin1(parsed);
        };
        row("common query", "*IDN?", "*IDN?");
        row("empty", "  ", "");
        row("suffixes and case", ":sour:gen2:per 1.5ms", "SOUR:GEN(2):PER=1.5ms");
        row("relative path", ":GEN1:PER 1;COUN 3;:CHAN4:DEL?",
            "GEN(1):PER=1 | GEN(1):COUN=3 | CHAN(4):DEL?");
        row("common keeps the path", "GEN2:PER?;*OPC;TBAS?", "GEN(2):PER? | *OPC | GEN(2):TBAS?");
        row("new line starts at root", "TBAS?", "TBAS?");
        row("strings keep ; and ,", "MEM:SAVE \"a;b,c\";*WAI", "MEM:SAVE=\"a;b,c\" | *WAI");
        row("parameters", "X 1 , 'y' ,ON", "X=1/'y'/ON");
        row("error ends the line", "*CLS;GEN1:PER=1;*RST", "*CLS | !-102");
        row("unclosed string", "MEM:SAVE \"abc", "!-102");
        row("binary junk", "GEN1\x01\xff", "!-102");
        row("empty node", "GEN1::PER 1", "!-102");
        row("empty parameter", "X 1,,2", "!-102");
        row("suffix on common", "*RST2", "!-102");
    }
    void parseLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, parsed);
        QCOMPARE(shown(Scpi::parseLine(line)), parsed);
    }

    void headers_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("suffixes"); // "-" when it does not match
        const auto row = [](const char *line, const char *pattern, const char *suffixes) {
            QTest::newRow(line) << QByteArray(line) << QString::fromLatin1(pattern)
                                << QString::fromLatin1(suffixes);
        };
        row("SOURCE:GENERATOR2:PERIOD", "[SOURce]:GENerator#:PERiod", "2");
        row("gen:per", "[SOURce]:GENerator#:PERiod", "1");
        row("GENE1:PER", "[SOURce]:GENerator#:PERiod", "-");
        row("SOUR1:GEN1:PER", "[SOURce]:GENerator#:PERiod", "-");
        row("GEN1:PER:X", "[SOURce]:GENerator#:PERiod", "-");
        row("SYST:ERR", "SYSTem:ERRor[:NEXT]", "");
        row("SYST:ERR:NEXT", "SYSTem:ERRor[:NEXT]", "");
        row("SYST:ERR:COUN", "SYSTem:ERRor[:NEXT]", "-");
    }
    void headers()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, pattern);
        QFETCH(QString, suffixes);
        QList<int> found;
        const bool matched = matchHeader(Scpi::parseLine(line).first().nodes,
                                         pattern.toLatin1().constData(), &found);
        QStringList numbers;
        for (const int n : found)
            numbers << QString::number(n);
        QCOMPARE(matched ? numbers.join(QLatin1Char(',')) : QStringLiteral("-"), suffixes);
    }

    void parameters()
    {
        const auto time = [](const char *text) {
            return parseNumeric(text, Unit::Seconds, 1, 2).value_or(-1);
        };
        QCOMPARE(time("20NS"), 20e-9);
        QCOMPARE(time("1.5 ms"), 1.5e-3);
        QCOMPARE(time("+.5E-3"), 0.5e-3);
        QCOMPARE(time("3us"), 3e-6);
        QCOMPARE(time("2 S"), 2.0);
        QCOMPARE(time("min"), 1.0);
        QCOMPARE(time("MAXIMUM"), 2.0);
        for (const char *bad : {"1V", "1 2", "1e999", "nan", "--1", "1MIN", "", "0x10"})
            QVERIFY2(time(bad) == -1, bad);
        QCOMPARE(parseNumeric("250mV", Unit::Volts, 0, 0).value_or(-1), 0.25);
        QVERIFY(!parseNumeric("1S", Unit::None, 0, 0));
        QCOMPARE(parseBoolean("on"), std::optional<bool>(true));
        QCOMPARE(parseBoolean("0"), std::optional<bool>(false));
        QVERIFY(!parseBoolean("2"));
        QCOMPARE(parseString("'it''s'"), std::optional<QString>(QStringLiteral("it's")));
        QCOMPARE(parseString("\"a\"\"b\""), std::optional<QString>(QStringLiteral("a\"b")));
        QVERIFY(!parseString("\"a\"b\""));
        QVERIFY(!parseString("name"));
        QVERIFY(matchesMnemonic("soft", "SOFTware") && matchesMnemonic("Software", "SOFTware"));
        QVERIFY(!matchesMnemonic("softw", "SOFTware"));
    }

    // Error classes set their event bits; the queue keeps its oldest ten
    // and says it overflowed in the last place.
    void statusModel()
    {
        ScpiStatus status;
        QCOMPARE(status.nextError(), QByteArray("0,\"No error\""));
        status.pushError(-113);
        status.pushError(-222, QStringLiteral("p1=\"x\""));
        QCOMPARE(status.statusByte(), 4);
        status.setEventEnable(ScpiStatus::ExecutionError);
        QCOMPARE(status.statusByte(), 4 | 32);
        QCOMPARE(status.nextError(), QByteArray("-113,\"Undefined header\""));
        QCOMPARE(status.nextError(), QByteArray("-222,\"Data out of range;p1=\"\"x\"\"\""));
        status.pushError(-363);
        status.pushError(-240, QStringLiteral("gone\n\xe9"));
        QCOMPARE(status.takeEventRegister(),
                 ScpiStatus::CommandError | ScpiStatus::ExecutionError | ScpiStatus::DeviceError);
        QCOMPARE(status.takeEventRegister(), 0);
        status.operationComplete();
        QCOMPARE(status.statusByte(), 4);
        QCOMPARE(status.takeEventRegister(), int(ScpiStatus::OperationComplete));
        for (int i = 0; i < 20; ++i)
            status.pushError(-102);
        QCOMPARE(status.errorCount(), ScpiStatus::QueueSize);
        QCOMPARE(status.nextError(), QByteArray("-363,\"Input buffer overrun\""));
        QCOMPARE(status.nextError(), QByteArray("-240,\"Hardware error;gone???\""));
        for (int i = 0; i < ScpiStatus::QueueSize - 3; ++i)
            QCOMPARE(status.nextError(), QByteArray("-102,\"Syntax error\""));
        QCOMPARE(status.nextError(), QByteArray("-350,\"Queue overflow\""));
        status.pushError(-100);
        status.clear();
        QCOMPARE(status.statusByte() | status.errorCount() | status.takeEventRegister(), 0);
    }
};

QTEST_GUILESS_MAIN(ScpiTest)
#include "tst_scpi.moc"
