#include "app/dxu_gui.h"

#include "app/operator_access.h"
#include "app/version.h"
#include "app/wait_feedback.h"
#include "device/http_client.h"
#include "device/record_ranges.h"
#include "device/ipv4_address.h"
#include "device/ethernet_instrument.h"
#include "device/usb_instrument.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "persistence/settings_store.h"
#include "tools/dividebydialog.h"

#include <QPixmap>
#include <QSettings>

dxu_gui::dxu_gui(QWidget *parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    ui.setupUi(this);
    thresholdVolts = 5.0;

    settings = SettingsStore::openMainSettings();
    settings->sync();
    deviceIp = settings
                   ->value(QLatin1String(SettingsStore::LastIpKey),
                           QLatin1String(SettingsStore::DefaultIp))
                   .toString();
    deviceIp = normalizedAddress(deviceIp); // as an older version may have stored it
    profileSettings = SettingsStore::openProfileSettings();
    profileSettings->sync();
    slaveProfileNames = profileSettings->childKeys();
    connect(ui.menuProfiles, SIGNAL(aboutToShow()), this, SLOT(loadProfileList()));
    connect(ui.menuProfiles, SIGNAL(triggered(QAction *)), this,
            SLOT(loadProfileDXUSettings(QAction *)));

    deviceIsDxu3 = false;
    usbLink = std::make_unique<UsbInstrument>(false);
    previewGeometry = PreviewGeometry();
    previewImage = new QPixmap(ui.dl->width(), ui.dl->height());
    previewImage->fill(QColor(0, 0, 0, 255));
    ui.dl->setPixmap(*previewImage);
    usbConnected = false;
    ethernetConnected = false;

    setTimeBoxMaximum(RecordRanges::MaxTimeMs);
    for (int generator : {1, 2})
        for (QDoubleSpinBox *box : timeBoxes(generator))
            box->setMinimum(0);
    ui.pulsesG1->setRange(0, RecordRanges::MaxPulses);
    ui.pulsesG2->setRange(0, RecordRanges::MaxPulses);

    ui.g1c1stop->setValue(200);
    ui.g1c1start->setValue(0);
    ui.periodG1->setValue(300);
    ui.g1c2stop->setValue(200);
    ui.g1c2start->setValue(0);
    ui.g2c1stop->setValue(200);
    ui.g2c1start->setValue(0);
    ui.periodG2->setValue(300);
    ui.g2c2stop->setValue(200);
    ui.g2c2start->setValue(0);
    ui.showG1->setChecked(true);

    setWindowTitle(tr("Halvorn DXU Interface %1").arg(QLatin1String(DxuVersion)));
    // The form gives these buttons their run and stop pictures.
    ui.resetButton->setIconSize(QSize(16, 16));
    ui.stopGen1->setIconSize(QSize(10, 10));
    ui.stopGen2->setIconSize(QSize(10, 10));
    ui.runGen1->setIconSize(QSize(24, 24));
    ui.runGen2->setIconSize(QSize(24, 24));
    statusBar()->showMessage(tr("Ready"));

    updatePreviewGeometry();
    ui.previewGroup->setTitle(tr("Signal Preview for Generator#1"));
    fitFormToFonts();
    setControlsEnabled(false);
    ui.actionIP_Settings->setEnabled(false);
    fieldsFilledFromDevice = false;

    repaintTimer = new QTimer(this);
    // Each tick redraws the preview if what it shows changed (a unit switch
    // changes the frequency line without a geometry update), not the window.
    connect(repaintTimer, &QTimer::timeout, this, &dxu_gui::refreshPreview);
    repaintTimer->start(100);

    unitFactor = 1.0;
    timeUnitMilli(true);
    ui.actionMiliseconds->setChecked(true);

    // The three dialogs are made at their first opening (dxu_gui_modes.cpp):
    // an idle panel does without their forms and pictures.
    httpClient = new HttpClient(this);
    ethernetLink = makeQueuedEthernetLink(httpClient, [this] { return deviceIp; });
    connect(httpClient, SIGNAL(done(bool)), this, SLOT(handleResponse(bool)));
    watchEthernetRequests();
    new WaitFeedback(
        httpClient, statusBar(),
        [this] {
            return fieldsFilledFromDevice ? QString() : tr("Connecting to %1…").arg(deviceIp);
        },
        this);
    connect(httpClient, &HttpClient::requestFinished, this,
            [this] { replyRefused = replyRefused || httpClient->statusCode() >= 400; });
    prepareMainWindowForOperator(this);
}

dxu_gui::~dxu_gui()
{
    delete previewImage;
    delete networkDialog;
    // The USB link (a member) releases the interface and closes its handle;
    // the stores hold nothing unsaved (every write is synced at once).
    delete profileSettings;
    delete settings;
}

void dxu_gui::setControlsEnabled(bool enable)
{
    ui.groupG1->setEnabled(enable);
    ui.groupG2->setEnabled(enable);
    ui.resetButton->setEnabled(enable);
    ui.runBoth->setEnabled(enable);
    ui.previewGroup->setEnabled(enable);
    ui.showG1->setEnabled(enable);
    ui.showG2->setEnabled(enable);
    ui.menuProfiles->setEnabled(enable);
    ui.menuTools->setEnabled(enable);
    ui.runGen1->setEnabled(enable);
    ui.runGen2->setEnabled(enable);
    ui.stopGen1->setEnabled(enable);
    ui.stopGen2->setEnabled(enable);
    // Without a link there is no model to offer them for; a connection
    // enables them for a DXU3.
    if (!enable) {
        ui.actionTrigger_threshold->setEnabled(false);
        ui.actionDivideBy_calc->setEnabled(false);
    }
}

void dxu_gui::periodChanged() {}
