#pragma once

#include "network/network_exchange.h"
#include "network/network_fields.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class InstrumentLink;

// The instrument's network configuration (MAC, IP, mask, gateway, DHCP and,
// over USB, the serial number): read and written over the link the main
// window uses. The instrument takes new settings only after a restart.
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    // `usb`: the instrument's USB link, used while setUsbMode(true).
    FindDialog(InstrumentLink *usb, QWidget *parent = nullptr);
    ~FindDialog() override;

    void setUsbMode(bool usb);
    void setDeviceIp(const QString &ip);
    // Shows what the link reads; false when the instrument went from the
    // link under the read (the dialog has closed, usbDeviceLost() told).
    bool readNetworkSettings();
    void reject() override;

    // How long a request may go without completing before it is given up.
    static constexpr int RequestTimeoutMs = 2500;

signals:
    // A USB transfer found the instrument gone from the bus; the dialog has
    // closed without a word, for the main window to tell and to close its link.
    void usbDeviceLost();

private slots:
    void set_network_settings();
    void showReading(const NetworkExchange::Reading &reading);
    void afterWriting(const NetworkExchange::Writing &writing);
    void dhcpCheckBoxToggled(bool checked);

private:
    void buildForm();
    NetworkFields typedFields() const;
    bool confirmInput(const NetworkFields &fields);
    void askForRestart();

    UsbNetworkExchange *usbExchange;
    EthernetNetworkExchange *ethernetExchange;
    NetworkExchange *exchange; // the one of the link the main window uses
    bool linkLost = false;
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
