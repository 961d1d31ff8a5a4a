#pragma once

#include "network/network_block.h"
#include "network/network_fields.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <cstdint>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class HttpClient;
class RequestWatchdog;
class UsbInstrument;

// The instrument's network configuration (MAC, IP, mask, gateway, DHCP and,
// over USB, the serial number): read and written over the link the main
// window uses. The instrument takes new settings only after a restart.
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    FindDialog(UsbInstrument *usb, QWidget *parent = nullptr);
    ~FindDialog() override;

    void setUsbMode(bool usb);
    void setDeviceIp(const QString &ip);
    void readNetworkSettings();
    void reject() override;

    // How long a request may go without completing before it is given up.
    static constexpr int RequestTimeoutMs = 2500;

signals:
    // A USB transfer found the instrument gone from the bus; the dialog has
    // closed without a word, for the main window to tell and to close its link.
    void usbDeviceLost();

private slots:
    void set_network_settings();
    void handleResponse(bool error);
    void handleResponse2(bool error);
    // The form's names for the request watchdog's start and time-out; the
    // watchdog follows the client by itself, these hand over to it.
    void stopTrying();
    void Trying(int id);
    void dhcpCheckBoxToggled(bool checked);

private:
    void buildForm();
    void readOverUsb();
    void showFields(const NetworkFields &fields);
    NetworkFields typedFields() const;
    bool confirmInput(const NetworkFields &fields);
    void writeOverUsb(const NetworkFields &fields);
    void startRequest(const QString &path, const char *doneSlot);
    HttpClient *takeFinishedClient();
    void abandonRequest();
    void warnEthernetFailure(const HttpClient *client);
    void askForRestart();

    RequestWatchdog *requestWatchdog;
    QByteArray httpResponse;
    QString deviceIp;
    HttpClient *httpClient = nullptr;
    bool usbMode = false;
    UsbInstrument *usbLink;
    QLabel *serialLabel;
    QLabel *macLabel;
    QLabel *ipLabel;
    QLabel *maskLabel;
    QLabel *gatewayLabel;
    QLineEdit *serialEdit;
    QLineEdit *macEdit;
    QLineEdit *ipEdit;
    QLineEdit *maskEdit;
    QLineEdit *gatewayEdit;
    QCheckBox *dhcpCheckBox;
    QDialogButtonBox *buttonBox;
    QPushButton *submitButton;
    QPushButton *cancelButton;
};
