// Placeholder until the Ethernet link is written: every request fails.
#include "device/http_client.h"

struct HttpClient::Private
{
};

HttpClient::HttpClient(QObject *parent) : QObject(parent), d(new Private) {}
HttpClient::~HttpClient() { delete d; }
int HttpClient::setHost(const QString &, quint16) { return 0; }
int HttpClient::request(const HttpRequestHeader &) { return 0; }
int HttpClient::get(const QString &) { return 0; }
QByteArray HttpClient::readAll() { return {}; }
void HttpClient::abort() {}
HttpClient::Error HttpClient::error() const { return UnknownError; }
QString HttpClient::errorString() const { return {}; }
bool HttpClient::hasPendingRequests() const { return false; }
int HttpClient::currentId() const { return 0; }
void HttpClient::setTransferTimeout(int) {}
void HttpClient::setMaxBodySize(qint64) {}
