// A misbehaving instrument (the hostile web server on 127.0.0.41): every
// case ends as a failed command within the client's time-out, with bounded
// memory and one request on the wire, and the client works again afterwards;
// through the main window, no case shows "Command applied" or fills the panel.
#include "app/dxu_gui.h"
#include "sim/dxu_sim_server.h"
#include "sim/hostile_web_server.h"
#include "support/ethernet_window.h"
#include "support/message_boxes.h"
#include "support/test_support.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QSignalSpy>
#include <QStatusBar>

using namespace EthernetWindow;
using Behaviour = HostileWebServer::Behaviour;

namespace {

const QString kHostileAddress = "127.0.0.41";
const QString kSimAddress = "127.0.0.42";

// Resident memory of this process in kB (0 where /proc is missing).
qint64 residentKb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0 ? 0 : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().toLongLong();
}

} // namespace

class HostileInstrumentTest : public QObject
{
    Q_OBJECT

    DxuSimServer sim;
    HostileWebServer hostile{HostileWebServer::EndlessBody};

private slots:
    void initTestCase()
    {
        QVERIFY(sim.start(QHostAddress(kSimAddress)));
        QVERIFY(hostile.start(QHostAddress(kHostileAddress)));
    }

    void clientFailsAndRecovers_data()
    {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<QString>("error");
        const QString timedOut = "Connection refused (or timed out)";
        const QString refused = "HTTP request failed"; // over a limit, or not a plain page
        const QString badHeader = "Invalid HTTP response header";
        const QString badChunks = "Invalid HTTP chunked body";
        const QString badLength = "Wrong content length";
        const std::pair<Behaviour, QString> cases[] = {
            {HostileWebServer::EndlessBody, refused},
            {HostileWebServer::EndlessHeaders, timedOut},
            {HostileWebServer::OneBytePerSecond, timedOut},
            {HostileWebServer::ChunkedWithoutLastChunk, badChunks},
            {HostileWebServer::GzipBomb, refused},
            {HostileWebServer::ShortContentLength, badLength},
            {HostileWebServer::LongContentLength, badLength},
            {HostileWebServer::ResetMidBody, badLength},
            {HostileWebServer::TenMegabytes, refused},
            {HostileWebServer::Http09Reply, badHeader},
            {HostileWebServer::BinaryGarbage, badHeader},
            {HostileWebServer::RedirectLoop, refused},
            {HostileWebServer::CorruptGzip, refused},
            {HostileWebServer::MalformedChunkSize, badChunks},
            {HostileWebServer::FastEndlessHeaders, badHeader},
            {HostileWebServer::CloseWithoutAnswer, "Server closed connection unexpectedly"}};
        QCOMPARE(std::size(cases), size_t(HostileWebServer::allBehaviours().size()));
        for (const auto &[behaviour, error] : cases)
            QTest::newRow(qPrintable(HostileWebServer::name(behaviour))) << behaviour << error;
    }

    void clientFailsAndRecovers()
    {
        QFETCH(Behaviour, behaviour);
        QFETCH(QString, error);
        hostile.setBehaviour(behaviour);
        const int requestsBefore = hostile.requestLines().size();
        HttpClient client;
        client.setTransferTimeout(3000);
        QSignalSpy done(&client, &HttpClient::done);
        const qint64 residentBefore = residentKb();
        qint64 residentPeak = residentBefore;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this,
                [&] { residentPeak = qMax(residentPeak, residentKb()); });
        sampler.start(20);
        client.setHost(kHostileAddress);
        client.get("/sg_hr_setup2.shtml");
        QVERIFY(done.wait(10000));
        QCOMPARE(done.last().at(0).toBool(), true);
        QCOMPARE(client.errorString(), error);
        QCOMPARE(client.readAll(), QByteArray());
        QTest::qWait(300); // a repeated request would arrive by now
        QCOMPARE(hostile.requestLines().size(), requestsBefore + 1);
        QVERIFY2(residentPeak - residentBefore < 32 * 1024,
                 qPrintable(QString("grew by %1 kB").arg(residentPeak - residentBefore)));

        client.setHost(kSimAddress);
        client.get("/sg_hr_setup2.shtml");
        QVERIFY(done.wait(10000));
        QCOMPARE(done.last().at(0).toBool(), false);
        QVERIFY(client.readAll().contains("Human Readable setup"));
    }

    void windowShowsEveryFailureThenConnects()
    {
        dxu_gui window;
        auto *period = window.findChild<QDoubleSpinBox *>("periodG1");
        const double startPeriod = period->value();
        QStringList messages;
        connect(window.statusBar(), &QStatusBar::messageChanged, this,
                [&](const QString &message) { messages << message; });
        MessageBoxWatcher boxes;
        for (Behaviour behaviour : HostileWebServer::allBehaviours()) {
            hostile.setBehaviour(behaviour);
            const int boxesBefore = boxes.count();
            chooseEthernet(window, kHostileAddress);
            QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), boxesBefore + 1, 15000);
            QVERIFY2(boxes.last().text.startsWith("Can't find DXU on <b>" + kHostileAddress),
                     qPrintable(HostileWebServer::name(behaviour)));
            QCOMPARE(connectionLabel(window), "Disconnected");
            QVERIFY(!messages.contains("Command applied"));
            QCOMPARE(period->value(), startPeriod);
        }
        QVERIFY(connectTo(window, kSimAddress));
        QTRY_VERIFY(messages.contains("Command applied"));
    }
};

DXU_TEST_MAIN(HostileInstrumentTest)
#include "tst_hostile_instrument.moc"
