#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The IEEE 488.2 status model of one instrument: the standard event status
// register with its enable mask, the status byte, and the SCPI error queue.
class ScpiStatus
{
public:
    // Standard event status register bits.
    enum Event {
        OperationComplete = 1,
        QueryError = 4,
        DeviceError = 8,
        ExecutionError = 16,
        CommandError = 32,
    };
    // At most this many errors wait; the last place then says
    // -350,"Queue overflow".
    static constexpr int QueueSize = 10;

    // Queues `code` with its standard text and, after ";", the detail; sets
    // the event bit of its class (-100s command, -200s execution, -300s
    // device-dependent, -400s query error).
    void pushError(int code, const QString &detail = QString());
    // `<code>,"<text>"`, the oldest first; 0,"No error" when none waits.
    QByteArray nextError();
    int errorCount() const { return static_cast<int>(errors.size()); }

    void clear();            // *CLS: the queue and the event register
    int takeEventRegister(); // *ESR? reads and clears
    void setEventEnable(int mask) { enable = mask & 0xFF; }
    int eventEnable() const { return enable; }
    void operationComplete() { events |= OperationComplete; }
    // Bit 2 an error waits, bit 5 an enabled event happened.
    int statusByte() const;

    static const char *standardText(int code);

private:
    QList<QByteArray> errors;
    int events = 0;
    int enable = 0;
};
