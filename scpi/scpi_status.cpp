#include "scpi/scpi_status.h"

namespace {
struct Text
{
    int code;
    const char *text;
};
const Text kTexts[] = {
    {0, "No error"},
    {-100, "Command error"},
    {-102, "Syntax error"},
    {-108, "Parameter not allowed"},
    {-109, "Missing parameter"},
    {-113, "Undefined header"},
    {-114, "Header suffix out of range"},
    {-200, "Execution error"},
    {-221, "Settings conflict"},
    {-222, "Data out of range"},
    {-224, "Illegal parameter value"},
    {-240, "Hardware error"},
    {-241, "Hardware missing"},
    {-250, "Mass storage error"},
    {-256, "File name not found"},
    {-350, "Queue overflow"},
    {-363, "Input buffer overrun"},
};
} // namespace

const char *ScpiStatus::standardText(int code)
{
    for (const Text &t : kTexts)
        if (t.code == code)
            return t.text;
    return "Error";
}

void ScpiStatus::pushError(int code, const QString &detail)
{
    if (code <= -100 && code > -200)
        events |= CommandError;
    else if (code <= -200 && code > -300)
        events |= ExecutionError;
    else if (code <= -300 && code > -400)
        events |= DeviceError;
    else if (code <= -400 && code > -500)
        events |= QueryError;
    if (errors.size() >= QueueSize) {
        errors.last() = QByteArrayLiteral("-350,\"Queue overflow\"");
        return;
    }
    // The reply is one line of printable ASCII; a quote inside is doubled.
    QByteArray text = standardText(code);
    if (!detail.isEmpty())
        text += ';' + detail.left(200).toUtf8();
    for (char &c : text)
        if (c < 0x20 || c > 0x7E)
            c = '?';
    text.replace('"', "\"\"");
    errors << QByteArray::number(code) + ",\"" + text + '"';
}

QByteArray ScpiStatus::nextError()
{
    return errors.isEmpty() ? QByteArrayLiteral("0,\"No error\"") : errors.takeFirst();
}

void ScpiStatus::clear()
{
    errors.clear();
    events = 0;
}

int ScpiStatus::takeEventRegister()
{
    const int value = events;
    events = 0;
    return value;
}

int ScpiStatus::statusByte() const
{
    return (errors.isEmpty() ? 0 : 4) | ((events & enable) ? 32 : 0);
}
