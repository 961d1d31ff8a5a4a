#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// One GET request: its path (with the query). It goes out as an HTTP/1.1
// GET with only Host, "Connection: close" and "Accept-Encoding: identity".
struct HttpRequestHeader
{
    QString path;
};

// A queued-command HTTP client: setHost() and request() are commands with
// ids that run one at a time in order, the first one started from the event
// loop. requestStarted(id) announces each command (host selection included),
// done(error) ends a batch once the queue has run empty. A failing command
// drops the rest of the queue and ends the batch with done(true) at once;
// abort() does the same synchronously. The body buffer is emptied when each
// command starts, so readAll() inside done() returns the last request's body.
// Only a whole reply is a reply: its header and the body its framing
// announces (see HttpReplyParser; what follows it is dropped); anything less,
// a compressed body and a redirect (never followed) end the command as an
// error. Any other
// HTTP status (404, 500, …) is a completed reply. The host is taken as a host
// only: a string that is not a host name, an IPv4 address as four plain
// decimal groups, or an IPv6 address fails its request with "Host %1 not
// found" before anything is sent. Every command gets a connection of its own,
// and each request goes on the wire exactly once: a connection that closes
// without an answer fails the command, it is never sent again.
class HttpClient : public QObject
{
    Q_OBJECT
public:
    enum Error {
        NoError,
        UnknownError,
        HostNotFound,
        ConnectionRefused,
        UnexpectedClose,
        InvalidResponseHeader,
        WrongContentLength,
        Aborted,
        TimedOut,
    };

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    int setHost(const QString &host, quint16 port = 80);
    int request(const HttpRequestHeader &header);
    int get(const QString &path);

    QByteArray readAll();
    // The HTTP status of the request that ended last (200, 404, 500, …); 0
    // while a command runs, after a failure, and for host selection.
    int statusCode() const;
    void abort();
    Error error() const;
    QString errorString() const;
    int currentId() const;

    // No request waits forever: after this many milliseconds without
    // completion it ends as an error, "Request timed out" ("Connection timed
    // out" while the connection was not made), 30 s by default.
    void setTransferTimeout(int milliseconds);

signals:
    void requestStarted(int id);
    void requestFinished(int id, bool error);
    void done(bool error);

private:
    struct Private;
    Private *d;
};
