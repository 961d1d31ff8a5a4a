#pragma once

#include "network/network_fields.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class HttpClient;
class InstrumentLink;
class RequestWatchdog;

// The network dialog's read and write over the link the main window uses.
// Each ends in readDone() or writeDone(): before read() or write() returns
// over USB, when the instrument has answered (or given up) over Ethernet.
class NetworkExchange : public QObject
{
    Q_OBJECT
public:
    // What a read gives the dialog to show.
    struct Reading
    {
        bool lost = false;                   // the instrument went from the link
        bool submittable = true;             // what was shown may be written back
        std::optional<QString> serialNumber; // none: the link cannot read it
        bool hasAddresses = false;           // MAC, IP, mask and gateway to show
        bool hasDhcp = false;                // the DHCP choice to show
        NetworkFields fields;
        // A failure to tell the operator (rich text), with its box's title.
        QString problemTitle;
        QString problem;
    };
    struct Writing
    {
        bool lost = false;
        QString problemTitle;
        QString problem; // empty: written, the instrument wants a restart
    };

    using QObject::QObject;

    virtual void read() = 0;
    virtual void write(const NetworkFields &fields) = 0;
    // A request still on its way is dropped without a word.
    virtual void abandon() {}

signals:
    void readDone(const NetworkExchange::Reading &reading);
    void writeDone(const NetworkExchange::Writing &writing);
};

// Over USB: the link's identity read (which carries the serial number) and
// its network frame, each waited for.
class UsbNetworkExchange : public NetworkExchange
{
    Q_OBJECT
public:
    UsbNetworkExchange(InstrumentLink *link, QObject *parent = nullptr);
    void read() override;
    void write(const NetworkFields &fields) override;

private:
    InstrumentLink *link;
};

// Over Ethernet: the network page, and the write as a GET, each on a client
// of its own that the watchdog gives up after timeoutMs. After a failed read
// the last page that did arrive is shown again.
class EthernetNetworkExchange : public NetworkExchange
{
    Q_OBJECT
public:
    EthernetNetworkExchange(int timeoutMs, QObject *parent = nullptr);
    ~EthernetNetworkExchange() override;
    void setAddress(const QString &address);
    void read() override;
    void write(const NetworkFields &fields) override;
    void abandon() override;

private:
    HttpClient *startClient();
    HttpClient *takeFinishedClient();
    void readFinished(bool error);
    void writeFinished(bool error);
    QString unreachableText(const HttpClient *client) const;

    RequestWatchdog *watchdog;
    HttpClient *client = nullptr;
    QString address;
    QByteArray lastPage;
};
