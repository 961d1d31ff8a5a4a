#pragma once

#include "app/preview_drawing.h"
#include "device/generator_settings.h"
#include "widgets/form_fit.h"
#include "ui_dxu_gui.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QAction;
class QPixmap;
class QSettings;
class FindDialog;
class RequestWatchdog;
class HttpClient;
class InstrumentLink;
class UsbInstrument;
class dividebyDialog;
class multidxudialog;

// The main window: owns the form, the Generator settings record, the preview,
// both links to the instrument, the settings stores and the three dialogs.
class dxu_gui : public QMainWindow
{
    Q_OBJECT

public:
    explicit dxu_gui(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~dxu_gui() override;

    void fieldsToRecord();
    void recordToFields();
    void updatePreviewGeometry();
    void setControlsEnabled(bool enable);
    // The command line's links: the Connection menu's steps, the address
    // given instead of asked for.
    void connectUsbAtStart();
    void connectEthernetAtStart(const QString &address);

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void exportDXUSettings();
    void setThreshold();
    void startGen1();
    void startGen2();
    void startGen12();
    void handleResponse(bool error);
    void handleResponse2(bool error);
    void periodChanged();
    void resetGens();
    void startG1C1();
    void startG2C1();
    void stopG1C1();
    void stopG2C1();
    void startG1C2();
    void startG2C2();
    void stopG1C2();
    void stopG2C2();
    void periodG1();
    void periodG2();
    void sourceG1();
    void sourceG2();
    void pulsesG1();
    void pulsesG2();
    void test();
    void showSwitch();
    void getDXUStatus();
    void scan(bool checked);
    void connectUSB(bool checked);
    void timeUnitG1();
    void timeUnitG2();
    // The form's names for the request watchdog's start and time-out; the
    // watchdog follows the client by itself, these hand over to it.
    void Trying(int id);
    void stopTrying();
    void alwaysOnTop(bool on);
    void resetGen1();
    void resetGen2();
    void about();
    void help();
    void ipsettings();
    void timeUnitMilli(bool on);
    void timeUnitMicro(bool on);
    void showSlaveControl();
    void addProfile();
    void deleteProfile();
    void loadProfileDXUSettings(QAction *action);
    void loadProfileList();
    void divByShow();
    void switchToCompactMode(bool on);

private:
    // Record and units
    void generatorFieldsToRecord();
    void generatorFieldsInto(GeneratorSettings &r) const;
    // The form as a record, without taking it: what a send would carry.
    GeneratorSettings fieldsAsRecord() const;
    // Collects the form for a command that carries settings; false, after
    // telling the operator, when a time base cannot count one of them (the
    // record and the USB block then keep what was last sent or read).
    bool collectCountable();
    void fillTimeBoxesFromRecord(double scale);
    void setTimeBoxSteps();
    void setTimeBoxDecimals(int decimals);
    void setTimeBoxMaximum(double maximum);
    void valueEdited(bool generator1);
    QList<QDoubleSpinBox *> timeBoxes(int generator) const;

    // Dialogs, made at their first opening
    FindDialog *networkSettingsDialog();
    multidxudialog *slaveControlDialog();
    dividebyDialog *dividerCalculator();

    // Preview
    void handPreviewToLabel();
    void refreshPreview();

    // Links
    // The link the commands go to: USB while it is up, else Ethernet.
    InstrumentLink &link();
    void sendSettingsAndRun(bool gen1, bool gen2);
    void sourceChanged(int generator);
    void connectSourceCombos();
    void disconnectSourceCombos();
    void reportOutcome(bool ok);
    // Each link closes the other when it opens, so that every command goes
    // to the link the connection label shows.
    void closeUsbLink();
    void usbUnplugged();
    void closeEthernetLink();
    void openEthernetLink(const QString &typed);
    // Gives up a request the instrument leaves unanswered.
    void watchEthernetRequests();
    // A typed address no instrument can have: the box, and the link stays shut.
    void refuseAddress(const QString &problem);
    // The failure box's text: a name that does not resolve, or no answer.
    QString unreachableText() const;

    QList<QAction *> profileActions;
    Ui::dxu_guiClass ui;
    HttpClient *httpClient = nullptr;
    QByteArray httpResponse;
    // A request of the batch under way was answered with an error status.
    bool replyRefused = false;
    QString deviceIp;
    bool fieldsFilledFromDevice = false;
    QPixmap *previewImage = nullptr;
    // How the form was widened for the fonts here (dxu_gui_modes.cpp), and
    // the size of its content in normal mode.
    FormStretch formStretch;
    QSize normalContentSize;
    void fitFormToFonts();
    void fixWindowSize(QSize content);
    RequestWatchdog *requestWatchdog = nullptr;
    bool deviceIsDxu3 = false;
    multidxudialog *slaveDialog = nullptr;
    dividebyDialog *dividerDialog = nullptr;
    double thresholdVolts = 5.0;
    double unitFactor = 1.0;
    std::unique_ptr<UsbInstrument> usbLink;
    std::unique_ptr<InstrumentLink> ethernetLink;
    QSettings *settings = nullptr;
    QSettings *profileSettings = nullptr;
    QStringList slaveProfileNames; // the profiles at start-up, for the slave dialog
    FindDialog *networkDialog = nullptr;
    QTimer *repaintTimer = nullptr;
    bool usbConnected = false;
    bool ethernetConnected = false;
    double previewScale = 1.0;
    PreviewGeometry previewGeometry;
    GeneratorSettings record;
    bool previewShowsGen1 = true;
    // What the preview image shows (nothing before its first drawing).
    bool previewDrawn = false;
    PreviewGeometry drawnGeometry;
    QString drawnFrequencies;

    // Tests reach the window's state through this one door.
    friend struct DxuGuiTestAccess;
};
