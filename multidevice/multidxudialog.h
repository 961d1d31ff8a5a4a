#pragma once

#include "ui_multidxudialog.h"

#include <QByteArray>
#include <QDialog>
#include <QStringList>

class HttpClient;
class RequestWatchdog;
class QSettings;
struct ProfileValue;

// The slave dialog: a list of further instruments by IPv4 address, a copy of
// the two generator panels that a stored profile can fill, and the broadcast
// of those settings to every selected instrument over its own HTTP client.
class multidxudialog : public QDialog
{
    Q_OBJECT

public:
    explicit multidxudialog(QWidget *parent = nullptr);
    // The profile box lists these names instead of the store's present ones
    // (the main window makes the dialog at its first opening, with the names
    // it found at start-up).
    multidxudialog(QWidget *parent, const QStringList &profileNames);
    ~multidxudialog() override;

private slots:
    // The form's names for the request watchdog's start and time-out; the
    // watchdog follows the client by itself, these hand over to it.
    void stopTrying();
    void Trying(int id);
    void applySettings();
    void handleHTTPResponseSlave(bool error);
    void addDXU();
    void delDXU();
    void selectallDXU();
    void inverseDXU();
    void selectionIPChanged();
    void showProfileSettings(const QString &name);

private:
    ProfileValue panelValues() const;
    void showInPanels(const ProfileValue &profile);
    void rebuildList();
    QStringList selectedAddresses() const;
    bool waitForReply();
    void startClient();
    void retireClient();

    Ui::multidxudialogClass ui;
    QStringList ipList;
    QSettings *profileSettings = nullptr;
    HttpClient *httpClient = nullptr;
    // Times each request of the broadcast's client; a firing aborts no other
    // client.
    RequestWatchdog *requestWatchdog = nullptr;
    bool requestDone = false;
    QByteArray httpResponse;
    bool broadcastRunning = false;
    // The instrument the broadcast waits for, as listed: a failure box names
    // it, and says when the watchdog gave up on it.
    QString currentAddress;

    // Tests reach the dialog's state through this one door.
    friend struct SlaveDialogTestAccess;
};
