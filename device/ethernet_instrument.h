#pragma once

#include "device/instrument_link.h"

class HttpClient;

// The panel's Ethernet link: each command's requests go on the queue of
// `client`, to the address `address` gives at that moment, and the command
// returns true at once. The replies, and the judging of them, are the
// client's signals' business (requestStarted, requestFinished, done); a read
// leaves what it would fill as it is.
std::unique_ptr<InstrumentLink> makeQueuedEthernetLink(HttpClient *client,
                                                       std::function<QString()> address);

// One GET of any page of the instrument's web server on that queue.
void queueGet(HttpClient *client, const QString &address, const QString &path);
