// The USB link: its frames byte by byte (ticks, the settings frame, the status
// read back), and UsbDevice against the simulated instrument: discovery,
// model, framing of the commands and the handles it leaves behind.
#include "device/counter_range.h"
#include "device/number_format.h"
#include "device/record_fields.h"
#include "device/settings_query.h"
#include "device/usb_device.h"
#include "device/usb_frames.h"
#include "device/usb_instrument.h"
#include "fakeusb/fake_usb.h"
#include "persistence/profile_record.h"
#include "support/test_support.h"

#include <libusb.h>

#include <limits>
#include <memory>

using FakeUsb::Bytes;
using FakeUsb::Call;
using FakeUsb::Model;

namespace {
// Every field different, so that a field at a wrong offset shows: sources 6 and
// 1, periods 300 and 10 ms, starts 1..4 ms, ends 5..8 ms, 0x01020304 and 131072
// pulses, time bases 1 and 2 (40 and 80 ns), 2.5 V.
const std::uint8_t kNetworkBlock[UsbLink::NetworkBlockLength] = {};
const UsbSettingsBlock distinct{6,          1,      300, 10, {1, 2, 3, 4}, {5, 6, 7, 8},
                                0x01020304, 131072, 1,   2,  2.5f};

std::vector<Call> callsNamed(const char *function, int device = -2)
{
    std::vector<Call> found;
    for (const Call &call : FakeUsb::calls())
        if (call.function == function && (device == -2 || call.device == device))
            found.push_back(call);
    return found;
}

// The device's bulk transfers in order: bytes sent, or bytes asked for. The
// short reads that empty the IN endpoint (after opening, after a fault) are
// left out.
std::vector<int> transferLengths(int device)
{
    std::vector<int> lengths;
    for (const Call &call : callsNamed("libusb_bulk_transfer", device))
        if (call.timeout == 1000u)
            lengths.push_back(call.endpoint == 0x81 ? call.length : int(call.bytes.size()));
    return lengths;
}
} // namespace

class UsbDeviceTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<UsbDevice> usb;

private slots:
    // A device not yet connected on an empty bus.
    void init()
    {
        usb.reset();
        FakeUsb::reset();
        usb = std::make_unique<UsbDevice>();
    }

    void ticks()
    {
        QCOMPARE(timeToTicks(0.0000399998, 0), 1u); // 1.99999 ticks: cut down, not rounded
        QCOMPARE(timeToTicks(0.0003, 0), 15u);      // 14.999999999999998 in doubles
        // A five-decimal entry is k * 10 ns, exactly k >> (tb + 1) ticks: below
        // 3 ms and at the top of the range, every value counts exactly.
        int wrong = 0;
        for (std::uint8_t timeBase = 0; timeBase < 4; ++timeBase)
            for (std::int64_t first : {std::int64_t(0), std::int64_t(1073300000)})
                for (std::int64_t k = first; k <= first + 300000; ++k)
                    wrong += timeToTicks(k / 100000.0, timeBase) != k >> (timeBase + 1);
        QCOMPARE(wrong, 0);
        QCOMPARE(timeToTicks(100000, 0), 705032704u); // 5e9 ticks: the low 32 bits
        QCOMPARE(timeToTicks(std::numeric_limits<double>::quiet_NaN(), 0), 0u);
        QCOMPARE(timeToTicks(1e300, 0), 0xFFFFFFFFu); // beyond 64 bits: saturated
    }

    // What each time base counts, at its edges: the longest value (the time-base
    // tool tip's maximum), the shortest period or width (two ticks), the
    // smallest delay (one tick); 0 always. A refusal names the time bases
    // that can count the value.
    void counterRange_data()
    {
        // The values set; after " > " the key of the value refused and the end
        // of the refusal. Without " > " every value is counted.
        QTest::addColumn<QString>("row");
        const char *const rows[] = {
            "p1=1342", // the 20 ns top
            "p1=1342.00001 > p1 > (at most 1342 ms); the 40 ns, 80 ns or 160 ns time base can "
            "count it",
            "p1=5000 > p1 > the 80 ns or 160 ns time base can count it", "p1=5000 freq1=2",
            "p2=10736 freq2=3", "p2=10736.1 freq2=3 > p2 > no time base can count it",
            "p1=0.00001 > p1 > no time base can count it", // half a tick
            "p1=0.00004",                                  // the minimum length
            "p1=0.00004 freq1=1 > p1 > (8e-05 ms at least); the 20 ns time base can count it",
            "p2=0 ch1_st2=0 ch1_et2=0 freq2=3",
            "ch1_st1=0.1 ch1_et1=0.10003 > ch1_et1 > no time base can count it",
            "ch2_st1=0.3 ch2_et1=0.30004", // the minimum width, after a sum
            "ch2_st1=0 ch2_et1=1500 > ch2_et1 > the 40 ns, 80 ns or 160 ns time base can count it",
            "ch1_st2=0.00001 ch1_et2=1 > ch1_st2 > no time base can count it",
            "ch1_st2=0.00002 ch1_et2=1", // one tick
            // the end, though delay and width each fit
            "ch2_st2=1000 ch2_et2=2000 > ch2_et2 > the 40 ns, 80 ns or 160 ns time base can count "
            "it",
            "ch1_st1=3000 ch1_et1=3000 > ch1_st1 > the 80 ns or 160 ns time base can count it"};
        for (const char *row : rows)
            QTest::newRow(row) << QString::fromLatin1(row);
    }

    void counterRange()
    {
        QFETCH(QString, row);
        const QStringList parts = row.split(QStringLiteral(" > "));
        GeneratorSettings record;
        for (const QString &set : parts[0].split(u' '))
            RecordFields::setValue(record, RecordFields::indexOf(set.section(u'=', 0, 0)),
                                   set.section(u'=', 1).toDouble());
        const CounterRange::Problem problem = CounterRange::firstProblem(record);
        QCOMPARE(problem.key, parts.value(1));
        QVERIFY2(parts.size() == 1 ? problem.text.isEmpty() : problem.text.endsWith(parts[2]),
                 qPrintable(problem.text));
    }

    // Each field has a place of its own in the settings query (in the query's
    // order), the USB block and a profile (in record order, an end as its width).
    void fieldTableKeepsEveryField()
    {
        using RecordFields::Kind;
        GeneratorSettings r;
        for (int i = 0; i < RecordFields::Count; ++i) {
            const Kind kind = RecordFields::all()[i].kind;
            const double value = kind == Kind::SourceG1   ? 6
                                 : kind == Kind::SourceG2 ? 1
                                 : kind == Kind::TimeBase
                                     ? i - 12
                                     : 10 * i + (kind == Kind::Pulses ? 0 : 0.25);
            RecordFields::setValue(r, i, value);
            QCOMPARE(RecordFields::value(r, i), value);
        }
        UsbSettingsBlock block;
        copyRecordToBlock(r, block);
        GeneratorSettings viaBlock;
        copyBlockToRecord(block, viaBlock);
        const GeneratorSettings viaProfile = recordFromProfile(profileFromRecord(r));
        const QStringList profileText = formatProfileValue(profileFromRecord(r)).split(u'|');
        const QStringList query =
            settingsQuery(r, QueryTail::SaveOnly).section(u'?', 1).split(u'&');
        const QStringList queryOrder{
            "ts1",     "ts2",     "p1",      "p2",      "pn1",     "pn2",     "ch1_st1", "ch1_st2",
            "ch1_et1", "ch1_et2", "ch2_st1", "ch2_st2", "ch2_et1", "ch2_et2", "freq1",   "freq2"};
        for (int i = 0; i < RecordFields::Count; ++i) {
            const QString name = QLatin1String(RecordFields::all()[i].name);
            const double value = RecordFields::value(r, i);
            QCOMPARE(RecordFields::value(viaBlock, i), value);
            QCOMPARE(RecordFields::value(viaProfile, i), value);
            QCOMPARE(profileText.at(i), formatGeneral(RecordFields::shown(r, i)));
            QCOMPARE(query.at(int(queryOrder.indexOf(name))), name + u'=' + formatGeneral(value));
        }
    }

    void framesLayEveryFieldOut()
    {
        UsbFrame expected{0x09, 6, 1};
        for (std::uint32_t field : {7499999u, 124999u, 25000u, 50000u, 37500u, 50000u, 125000u,
                                    150000u, 87500u, 100000u, 0x01020304u, 131072u})
            for (int shift = 0; shift < 32; shift += 8)
                expected.push_back(static_cast<std::uint8_t>(field >> shift));
        expected.insert(expected.end(), {1, 2});
        QCOMPARE(settingsFrame(distinct, false), expected);

        UsbSettingsBlock block = distinct;
        block.thresholdVolts = 5.0f;
        expected.insert(expected.end(), {0x00, 0x00, 0xA0, 0x40});
        QCOMPARE(settingsFrame(block, true), expected);

        // The status frame is the settings frame without its command code:
        // what is read goes out again as it came.
        UsbFrame status = settingsFrame(distinct, true);
        status.erase(status.begin());
        UsbSettingsBlock read;
        QVERIFY(decodeStatusFrame(status.data(), 56, read));
        QCOMPARE(read.period1, 300.0); // the tick the frame leaves off is added back
        QCOMPARE(settingsFrame(read, true), settingsFrame(distinct, true));

        QVERIFY(decodeStatusFrame(status.data(), 52, read)); // a DXU2's: no threshold
        QCOMPARE(read.thresholdVolts, 5.0f);

        UsbSettingsBlock timeBase0;
        timeBase0.period1 = 300; // 14999999 ticks
        timeBase0.start[0] = -1; // counts are signed
        status = settingsFrame(timeBase0, false);
        QVERIFY(decodeStatusFrame(status.data() + 1, 52, read));
        QCOMPARE(read.period1, 300.0);
        QCOMPARE(read.period2, 0.0); // all ones: a period of 0 sent
        QCOMPARE(read.start[0], -1.0);

        status.resize(64, 0x55);
        UsbSettingsBlock unchanged;
        unchanged.period1 = 42;
        unchanged.thresholdVolts = 1.5f;
        for (int length : {0, 51, 53, 55, 57}) {
            QVERIFY(!decodeStatusFrame(status.data(), length, unchanged));
            QCOMPARE(unchanged.period1, 42.0);
            QCOMPARE(unchanged.thresholdVolts, 1.5f);
        }
    }

    // The model decides the status and settings frame lengths.
    void modelFollowsTheIdentity()
    {
        for (int modelByte : {3, 2, 4}) {
            init();
            const bool dxu3 = modelByte == 3;
            const int dxu = FakeUsb::addInstrument(dxu3 ? Model::Dxu3 : Model::Dxu2);
            FakeUsb::IdentityReply identity = FakeUsb::identity(dxu);
            identity[10] = static_cast<std::uint8_t>(modelByte);
            FakeUsb::setIdentity(dxu, identity);
            QVERIFY(usb->findDevice());
            QCOMPARE(usb->isDxu3(), dxu3);
            QVERIFY(usb->sendSettings(UsbSettingsBlock()));
            QCOMPARE(transferLengths(dxu),
                     (std::vector<int>{1, 32, 1, dxu3 ? 56 : 52, dxu3 ? 57 : 53, 1}));
        }
    }

    // Broken answers while connecting are no connection, and leave the model
    // and settings of the last instrument that answered.
    void brokenAnswersAreNoConnection_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("replyLength"); // -1: the full reply
        QTest::addColumn<int>("offset");      // into the status, where `bytes` go
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("identity short") << 0x07 << 31 << 0 << QByteArray() << false;
        QTest::newRow("identity not sent") << 0x07 << -2 << 0 << QByteArray() << false;
        QTest::newRow("status short") << 0x0A << 55 << 0 << QByteArray() << false;
        QTest::newRow("time base 4") << 0x0A << -1 << 50 << QByteArray::fromHex("04") << false;
        QTest::newRow("time base 255") << 0x0A << -1 << 51 << QByteArray::fromHex("ff") << false;
        QTest::newRow("source 3") << 0x0A << -1 << 0 << QByteArray::fromHex("03") << false;
        QTest::newRow("source 2 of gen 2") << 0x0A << -1 << 1 << QByteArray::fromHex("02") << false;
        QTest::newRow("threshold 0 V") << 0x0A << -1 << 52 << QByteArray(4, 0) << false;
        QTest::newRow("threshold 5.5 V")
            << 0x0A << -1 << 52 << QByteArray::fromHex("0000b040") << false;
        QTest::newRow("threshold 0.05 V")
            << 0x0A << -1 << 52 << QByteArray::fromHex("cdcc4c3d") << true;
        QTest::newRow("High Level, 160 ns") << 0x0A << -1 << 0 << QByteArray::fromHex("06") << true;
    }

    void brokenAnswersAreNoConnection()
    {
        QFETCH(int, command);
        QFETCH(int, replyLength);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        const int earlier = FakeUsb::addInstrument(Model::Dxu2);
        QVERIFY(usb->findDevice());
        FakeUsb::unplug(earlier);
        const double earlierPeriod = usb->status().period1;
        QVERIFY(earlierPeriod != 0.0);
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        Bytes status(56, 0);
        std::fill(status.begin() + 2, status.begin() + 6, 0xFF); // period 0
        status[50] = status[51] = 3;
        status[55] = 0x40; // 2 V
        std::copy(bytes.begin(), bytes.end(), status.begin() + offset);
        FakeUsb::setStatus(dxu, status);
        if (replyLength == -2)
            FakeUsb::setWriteFails(dxu, command);
        else
            FakeUsb::setReplyLength(dxu, std::uint8_t(command), replyLength);

        QCOMPARE(usb->findDevice(), accepted);
        QCOMPARE(FakeUsb::openHandles(), accepted ? 1 : 0);
        QCOMPARE(usb->isDxu3(), accepted);
        QCOMPARE(usb->status().period1, accepted ? 0.0 : earlierPeriod);
        QCOMPARE(usb->failureCause().isEmpty(), accepted);
    }

    // The first match that opens, claims and answers is kept; those before it
    // are closed and those after it not opened. Finding again keeps one handle,
    // and the device leaves no handle or library context behind.
    void theFirstMatchThatAnswersIsKept()
    {
        const int contextsBefore = FakeUsb::liveContexts();
        const int bad = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setOpenError(bad, LIBUSB_ERROR_ACCESS);
        const int busy = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setClaimError(busy, LIBUSB_ERROR_BUSY);
        const int silent = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setReplyLength(silent, 0x0A, 0);
        const int other = FakeUsb::addUnrelatedDevice(0x046D, 0xC077);
        const int first = FakeUsb::addInstrument(Model::Dxu3);
        const int second = FakeUsb::addInstrument(Model::Dxu2);
        QVERIFY(usb->findDevice() && usb->isDxu3());
        std::vector<int> opened;
        for (const Call &call : callsNamed("libusb_open"))
            opened.push_back(call.device);
        QCOMPARE(opened, (std::vector<int>{bad, busy, silent, first}));
        QCOMPARE(FakeUsb::openHandles(), 1);
        QVERIFY(usb->runGenerators(true, false)); // to the first one only
        QCOMPARE(transferLengths(first), (std::vector<int>{1, 32, 1, 56, 2, 1}));
        QCOMPARE(transferLengths(second), std::vector<int>{});
        QCOMPARE(transferLengths(other), std::vector<int>{});

        QVERIFY(usb->findDevice());
        QCOMPARE(FakeUsb::openHandles(first), 1);
        usb.reset();
        QCOMPARE(FakeUsb::openHandles(), 0);
        const std::vector<Call> released = callsNamed("libusb_release_interface", first);
        QVERIFY(!released.empty());
        QCOMPARE(released.back().result, 0);
        QCOMPARE(FakeUsb::liveContexts(), contextsBefore);
    }

    // Each command with a one-byte acknowledgement, a second at most for each
    // transfer. The configuration is set only when the device is in another
    // one (on a configured device it is a reset, busy while claimed), and a
    // kernel driver holding the interface is detached for the panel. A failed
    // claim, write or acknowledgement ends the command, not the link.
    void commandsSendTheirFlagsAndFailuresEndThem()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu2);
        FakeUsb::setConfiguration(dxu, 0);
        FakeUsb::setKernelDriver(dxu, true);
        QVERIFY(usb->findDevice());
        QVERIFY(usb->runGenerators(false, true));
        QVERIFY(usb->runGenerators(true, true));
        QVERIFY(usb->resetGenerators(true, false));
        QVERIFY(usb->resetGenerators(false, true));
        QVERIFY(usb->resetGenerators(true, true));
        QCOMPARE(FakeUsb::framesWritten(dxu), (std::vector<Bytes>{{0x07},
                                                                  {0x0A},
                                                                  {0x0B, 0x08},
                                                                  {0x0B, 0x0C},
                                                                  {0x0B, 0x01},
                                                                  {0x0B, 0x02},
                                                                  {0x0B, 0x03}}));
        QCOMPARE(transferLengths(dxu),
                 (std::vector<int>{1, 32, 1, 52, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1}));
        QCOMPARE(callsNamed("libusb_set_configuration").size(), std::size_t(1));
        for (const Call &call : FakeUsb::calls()) {
            QVERIFY2(call.result != LIBUSB_ERROR_BUSY, call.function.c_str());
            QVERIFY(call.function != "libusb_bulk_transfer" || call.timeout == 1000u ||
                    (call.timeout == 20u && call.endpoint == 0x81));
        }

        FakeUsb::setClaimError(dxu, LIBUSB_ERROR_BUSY);
        FakeUsb::clearCalls();
        QVERIFY(!usb->runGenerators(true, false));
        QVERIFY(!usb->sendSettings(UsbSettingsBlock()));
        QVERIFY(!usb->writeNetworkBlock(kNetworkBlock));
        std::uint8_t reply[32] = {};
        QVERIFY(!usb->readIdentity(reply));
        QVERIFY(callsNamed("libusb_bulk_transfer").empty()); // nothing sent
        QCOMPARE(callsNamed("libusb_claim_interface").size(), std::size_t(4));

        FakeUsb::setClaimError(dxu, 0);
        FakeUsb::setWriteFails(dxu, 0x09);
        FakeUsb::clearCalls();
        QVERIFY(!usb->sendSettings(UsbSettingsBlock()));
        QCOMPARE(transferLengths(dxu), std::vector<int>{53}); // no read after a failed write
        QVERIFY(usb->resetGenerators(true, true));            // the next command goes out
        FakeUsb::setReplyLength(dxu, 0x0B, 0);
        QVERIFY(!usb->runGenerators(true, false)); // acknowledgement missing
        FakeUsb::setReplyLength(dxu, 0x0B, 2);
        QVERIFY(!usb->runGenerators(true, false)); // two bytes where one is due
        FakeUsb::setReplyLength(dxu, 0x07, 31);
        QVERIFY(!usb->readIdentity(reply));

        FakeUsb::setReplyLength(dxu, 0x07, -1);
        FakeUsb::setReplyLength(dxu, 0x0B, -1);
        FakeUsb::unplug(dxu); // gone between two commands: the handle goes too
        QVERIFY(!usb->resetGenerators(true, true));
        QVERIFY(usb->wasUnplugged());
        QCOMPARE(FakeUsb::openHandles(), 0);
        QVERIFY(!usb->findDevice());
        FakeUsb::replug(dxu); // and back, as a new device
        QVERIFY(usb->findDevice() && !usb->wasUnplugged());
        QVERIFY(usb->resetGenerators(true, true));
    }

    // What a faulty exchange leaves behind (a reply after its time-out, a
    // late reply in two parts) is read away before the next command
    // instead of being taken for its answer, and a halted endpoint is
    // cleared. The command that met the fault fails; the next one works.
    void faultsDoNotOutliveTheirCommand()
    {
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        QVERIFY(usb->findDevice());
        FakeUsb::setReplyLate(dxu, 0x0B);
        QVERIFY(!usb->runGenerators(true, false));
        FakeUsb::setReplyLate(dxu, 0x0B, false);
        FakeUsb::setReplyLength(dxu, 0x09, 0);           // no acknowledgement this time
        QVERIFY(!usb->sendSettings(UsbSettingsBlock())); // the late one is not it

        FakeUsb::setReplySplit(dxu, 0x07, 20); // late, and in two parts
        FakeUsb::setReplyLate(dxu, 0x07);
        std::uint8_t reply[32] = {};
        QVERIFY(!usb->readIdentity(reply));
        FakeUsb::setReplySplit(dxu, 0x07, -1);
        FakeUsb::setReplyLate(dxu, 0x07, false);
        QVERIFY(usb->readIdentity(reply));
        QCOMPARE(reply[10], std::uint8_t(3)); // read from its start
        QCOMPARE(FakeUsb::pendingInput(dxu), 0);

        for (int endpoint : {0x02, 0x81}) {
            FakeUsb::setHalted(dxu, std::uint8_t(endpoint));
            QVERIFY(!usb->runGenerators(true, true));
            QVERIFY(usb->runGenerators(true, true));
        }
    }

    // Each command of the USB link as frames (code and flag byte): what goes
    // out, in what order, and where a failed frame ends the command. A level
    // the instrument never got is not offered as its own.
    void linkCommandsAndTheirFrames_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("failingCode");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("heldVolts");
        const QStringList settings{QStringLiteral("09 00")}; // source 1 of the record
        auto frames = [&](const QStringList &more) { return settings + more; };
        QTest::newRow("source 1") << "source1" << -1 << frames({"0b 03"}) << true << 5.0;
        QTest::newRow("source 2") << "source2" << -1 << frames({"0b 02"}) << true << 5.0;
        QTest::newRow("source, settings fail") << "source1" << 0x09 << settings << false << 5.0;
        QTest::newRow("run both") << "run12" << -1 << frames({"0b 0c"}) << true << 5.0;
        QTest::newRow("run, settings fail") << "run12" << 0x09 << settings << false << 5.0;
        QTest::newRow("threshold")
            << "threshold" << -1 << QStringList{"0b 03", "09 00"} << true << 2.5;
        QTest::newRow("threshold, stop fails")
            << "threshold" << 0x0B << QStringList{"0b 03"} << false << 5.0;
        QTest::newRow("threshold, settings fail")
            << "threshold" << 0x09 << QStringList{"0b 03", "09 00"} << false << 5.0;
    }

    void linkCommandsAndTheirFrames()
    {
        QFETCH(QString, command);
        QFETCH(int, failingCode);
        QFETCH(QStringList, frames);
        QFETCH(bool, ok);
        QFETCH(double, heldVolts);
        const int dxu = FakeUsb::addInstrument(Model::Dxu3);
        UsbInstrument link(false);
        QStringList sent;
        link.setTrace([&](const QString &line) { sent << line.mid(10, 5).trimmed(); });
        QVERIFY(link.findInstrument());
        sent.clear();
        if (failingCode >= 0)
            FakeUsb::setWriteFails(dxu, failingCode);
        const GeneratorSettings record;
        bool done = false;
        if (command == QLatin1String("source1"))
            done = link.sendSource(record, 1);
        else if (command == QLatin1String("source2"))
            done = link.sendSource(record, 2);
        else if (command == QLatin1String("run12"))
            done = link.sendSettingsAndRun(record, true, true);
        else
            done = link.setThreshold(2.5);
        QCOMPARE(sent, frames);
        QCOMPARE(done, ok);
        QCOMPARE(done, link.failure().isEmpty());
        QCOMPARE(*link.heldThreshold(), heldVolts);
    }

    // The panel's link looks for an instrument only when told: a command on
    // a link that was closed (or never opened) sends nothing.
    void aClosedLinkFindsNothingByItself()
    {
        FakeUsb::addInstrument(Model::Dxu2);
        UsbInstrument panelLink(false);
        QVERIFY(!panelLink.stop(true, true));
        QVERIFY(callsNamed("libusb_open").empty());
        QVERIFY(panelLink.findInstrument() && panelLink.stop(true, true));
        panelLink.close();
        QVERIFY(!panelLink.sendSettings(GeneratorSettings()));
        UsbInstrument scriptLink;
        QVERIFY(scriptLink.stop(true, true));
    }
};

DXU_TEST_MAIN(UsbDeviceTest)
#include "tst_usb_device.moc"
