#include "multidevice/multidxudialog.h"

#include "device/counter_range.h"
#include "device/http_client.h"
#include "device/setup_page_parser.h"
#include "device/ipv4_address.h"
#include "device/record_fields.h"
#include "device/request_watchdog.h"
#include "widgets/form_fit.h"
#include "device/ethernet_instrument.h"
#include "multidevice/event_slices.h"
#include "multidevice/generator_panels.h"
#include "persistence/profile_record.h"
#include "persistence/profile_value.h"
#include "persistence/settings_store.h"
#include "widgets/accessible_texts.h"
#include "widgets/operator_input.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScopedValueRollback>
#include <QSettings>

namespace {
// Only the text the input box starts with; nothing is contacted.
const char *const kPresetAddress = "192.168.0.0";
const char *const kBlankProfile = " ";
const int kWatchdogMs = 2000;
const int kFirstWaitMs = 300;
const int kPollMs = 10;

// The controls beside the generator panels whose own texts say too little.
const AccessibleText kSlaveDialog[] = {
    {"dxulistWidget", QT_TRANSLATE_NOOP("multidxudialog", "Slave instruments")},
    {"slavePresetsCombo", QT_TRANSLATE_NOOP("multidxudialog", "Profile")},
    {"pushButton_5", QT_TRANSLATE_NOOP("multidxudialog", "Inverse selection")},
};
} // namespace

multidxudialog::multidxudialog(QWidget *parent)
    : multidxudialog(parent,
                     std::unique_ptr<QSettings>(SettingsStore::openProfileSettings())->childKeys())
{}

multidxudialog::multidxudialog(QWidget *parent, const QStringList &profileNames) : QDialog(parent)
{
    ui.setupUi(this);
    requestWatchdog = new RequestWatchdog(kWatchdogMs, this);
    // Answered or given up, the broadcast goes on with the next instrument.
    connect(requestWatchdog, &RequestWatchdog::gaveUpRequest, this, [this] { requestDone = true; });
    profileSettings = SettingsStore::openProfileSettings();
    requestDone = false;

    ui.sourceG1->setCurrentIndex(2);
    ui.sourceG2->setCurrentIndex(1);
    ui.pushButton->setEnabled(false);
    ui.pushButton_3->setEnabled(false);

    // The profile names are read once, at the program's start: profiles
    // saved or deleted later in the main window show up here at the next
    // start of the program.
    ui.slavePresetsCombo->addItem(QLatin1String(kBlankProfile));
    ui.slavePresetsCombo->addItems(profileNames);
    guardOperatorInput(this);
    nameGeneratorPanels(this);
    setAccessibleTexts(this, "multidxudialog", kSlaveDialog);

    // Drawn for the fonts of Windows; widened where the fonts here need more.
    const QSize drawn = size();
    resize(fitToFonts(this, drawn).map(QRect(QPoint(0, 0), drawn)).size());
}

multidxudialog::~multidxudialog() { delete profileSettings; }

void multidxudialog::addDXU()
{
    bool accepted = false;
    const QString typed =
        QInputDialog::getText(this, tr("Add DXU"), tr("DXU IP:"), QLineEdit::Normal,
                              QLatin1String(kPresetAddress), &accepted);
    if (!accepted)
        return;
    // Listed as typed, but for the blanks around it.
    const QString address = typed.trimmed();
    if (ipList.contains(address)) {
        QMessageBox::warning(this, tr("Input error"),
                             tr("DXU with IP %1 already in list").arg(address), QMessageBox::Ok);
        return;
    }
    const QString problem = checkInstrumentAddress(address).problem;
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, tr("IP error"),
                             tr("IP address <b>%1</b> is incorrect").arg(address.toHtmlEscaped()) +
                                 QStringLiteral("<br>") + problem.toHtmlEscaped() +
                                 QLatin1Char('.'),
                             QMessageBox::Ok);
        return;
    }
    ipList.append(address);
    rebuildList();
}

void multidxudialog::delDXU()
{
    const QList<QListWidgetItem *> selected = ui.dxulistWidget->selectedItems();
    if (selected.isEmpty()) {
        QMessageBox::warning(this, tr("Input error"), tr("Nothing to delete, select DXU first"),
                             QMessageBox::Ok);
        return;
    }
    for (const QListWidgetItem *item : selected)
        ipList.removeOne(item->text());
    rebuildList();
}

void multidxudialog::selectallDXU() { ui.dxulistWidget->selectAll(); }

void multidxudialog::inverseDXU()
{
    for (int row = 0; row < ui.dxulistWidget->count(); ++row) {
        QListWidgetItem *item = ui.dxulistWidget->item(row);
        item->setSelected(!item->isSelected());
    }
}

void multidxudialog::selectionIPChanged()
{
    const bool anySelected = !ui.dxulistWidget->selectedItems().isEmpty();
    ui.pushButton->setEnabled(anySelected);
    ui.pushButton->setToolTip(anySelected ? tr("Apply settings") : tr("Select DXU(s) first"));
    ui.pushButton_3->setEnabled(anySelected);
}

void multidxudialog::showProfileSettings(const QString &name)
{
    if (name == QLatin1String(kBlankProfile))
        return;
    // A name deleted in the main window since the box was filled reads as the
    // default value.
    const QString stored =
        profileSettings->value(name, QLatin1String(ProfileFormat::DefaultValue)).toString();
    showInPanels(parseProfileValue(stored));
}

void multidxudialog::applySettings()
{
    // The waits below handle events; an Apply that arrives through them (the
    // progress window hides once Abort is pressed) must not start a second
    // broadcast on top of this one.
    if (broadcastRunning)
        return;
    const QScopedValueRollback<bool> running(broadcastRunning, true);

    const ProfileValue values = panelValues();
    const CounterRange::Problem problem = CounterRange::firstProblem(recordFromProfile(values));
    if (!problem.text.isEmpty()) {
        QMessageBox::warning(this, tr("Slave DXU Control"),
                             tr("Nothing was sent: %1.").arg(problem.text), QMessageBox::Ok);
        return;
    }
    const GeneratorSettings record = recordFromProfile(values);
    const QStringList addresses = selectedAddresses();

    QProgressDialog progress(tr("Applying Settings to DXU's..."), tr("Abort"), 0,
                             int(addresses.size()), this, Qt::Window | Qt::CustomizeWindowHint);
    progress.setWindowModality(Qt::WindowModal);
    progress.show();

    startClient();
    // Every selected instrument is sent the settings alone: no generator starts.
    const auto slave = makeQueuedEthernetLink(httpClient, [this] { return currentAddress; });

    for (int i = 0; i < addresses.size(); ++i) {
        // Abort stops before the next instrument; what was sent stays sent and
        // the request in flight has been let finish (answered or given up).
        if (progress.wasCanceled())
            break;
        currentAddress = addresses.at(i);
        slave->sendSettings(record);
        progress.setValue(i);
        // When the panel closes meanwhile, the request is abandoned below.
        if (!waitForReply())
            break;
    }
    retireClient();
}

// True when the request has been answered or given up; false when the
// application quits first (nothing can arrive any more).
bool multidxudialog::waitForReply()
{
    bool running = processEventsFor(kFirstWaitMs);
    while (running && !requestDone)
        running = processEventsFor(kPollMs);
    requestDone = false;
    return running;
}

void multidxudialog::Trying(int id)
{
    Q_UNUSED(id);
    requestWatchdog->start();
    requestDone = false;
}

void multidxudialog::stopTrying() { requestWatchdog->expire(); }

void multidxudialog::handleHTTPResponseSlave(bool error)
{
    // The request is over: a later firing of the watchdog must not abort
    // whatever request comes next.
    requestWatchdog->stop();
    // An error page, or a reply that is not the setup page, means the
    // instrument took nothing.
    const int status = httpClient ? httpClient->statusCode() : 0;
    QByteArray body = !error && httpClient ? httpClient->readAll() : QByteArray();
    removeNulBytes(body);
    const bool foreignPage = !error && httpClient && status < 400 &&
                             !isSetupPage(body, parseSetupPage(setupPageText(body)));
    if (!error && (status >= 400 || foreignPage))
        error = true;
    if (!error) {
        requestDone = true;
        httpResponse = body;
        return;
    }
    QString detail;
    if (status >= 400)
        detail = tr("%1 answered with HTTP status %2.").arg(currentAddress).arg(status);
    else if (foreignPage)
        detail = tr("%1 answered with something other than its setup page.").arg(currentAddress);
    else if (httpClient && httpClient->error() == HttpClient::HostNotFound)
        detail = tr("The name %1 does not resolve to an address.").arg(currentAddress);
    else if (requestWatchdog->gaveUp() || !httpClient)
        detail = tr("%1 did not answer within 2 s.").arg(currentAddress);
    else
        detail = tr("%1: %2.").arg(currentAddress, httpClient->errorString());
    QMessageBox::warning(this, tr("Slave DXU's connection problem"),
                         tr("At least one DXU in list did not response after 2 sec!\nCheck "
                            "Ethernet connection.") +
                             QLatin1Char('\n') + detail,
                         QMessageBox::Ok);
    requestDone = true;
}

ProfileValue multidxudialog::panelValues() const
{
    ProfileValue v;
    const GeneratorPanels panels(this);
    for (int i = 0; i < RecordFields::Count; ++i)
        setProfileNumber(v, i, panels.value(i));
    return v;
}

void multidxudialog::showInPanels(const ProfileValue &profile)
{
    // A code without an entry (3, 5, …) leaves the box as it is.
    using RecordFields::Kind;
    const GeneratorPanels panels(this);
    for (int i : RecordFields::inOrder({{Kind::SourceG1, Kind::SourceG2},
                                        {Kind::Period},
                                        {Kind::Pulses},
                                        {Kind::Start, Kind::End},
                                        {Kind::TimeBase}}))
        panels.show(i, profileNumber(profile, i));
}

void multidxudialog::rebuildList()
{
    ui.dxulistWidget->clear();
    for (const QString &address : std::as_const(ipList))
        ui.dxulistWidget->addItem(address);
}

QStringList multidxudialog::selectedAddresses() const
{
    // In the order the list widget reports its selection, taken as texts: the
    // rows may change while the broadcast waits.
    QStringList addresses;
    const QList<QListWidgetItem *> selected = ui.dxulistWidget->selectedItems();
    for (const QListWidgetItem *item : selected)
        addresses.append(item->text());
    return addresses;
}

void multidxudialog::startClient()
{
    httpClient = new HttpClient(this);
    connect(httpClient, SIGNAL(done(bool)), this, SLOT(handleHTTPResponseSlave(bool)));
    requestWatchdog->watch(httpClient);
}

void multidxudialog::retireClient()
{
    // A finished broadcast's client delivers nothing more into this dialog;
    // a request still running (the application quits) ends without a word.
    requestWatchdog->release();
    httpClient->disconnect(this);
    httpClient->abort();
    httpClient->deleteLater();
    httpClient = nullptr;
}
