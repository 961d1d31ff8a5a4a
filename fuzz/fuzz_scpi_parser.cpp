// What a SCPI client sends dxu-scpi: the line parser, the header matcher,
// the parameter decoders and the error queue's texts.

#include "fuzz/fuzz_support.h"
#include "scpi/scpi_parser.h"
#include "scpi/scpi_status.h"

#include <cmath>

namespace {
bool printableAscii(const QByteArray &text)
{
    for (const char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    const QByteArray line = fuzzBytes(data, size);
    const QList<Scpi::Command> commands = Scpi::parseLine(line);
    ScpiStatus status;
    for (qsizetype i = 0; i < commands.size(); ++i) {
        const Scpi::Command &command = commands[i];
        // A syntax error ends the list; a command has a whole path.
        if (command.error) {
            FUZZ_CHECK(i == commands.size() - 1 && command.error == -102);
            status.pushError(command.error, command.detail);
            continue;
        }
        FUZZ_CHECK(!command.nodes.isEmpty() && (!command.common || command.nodes.size() == 1));
        for (const Scpi::Node &node : command.nodes)
            FUZZ_CHECK(!node.mnemonic.isEmpty() && node.mnemonic == node.mnemonic.toUpper());
        QList<int> suffixes;
        if (Scpi::matchHeader(command.nodes, "[SOURce]:GENerator#:PERiod", &suffixes))
            FUZZ_CHECK(suffixes.size() == 1);
        for (const QByteArray &parameter : command.parameters) {
            FUZZ_CHECK(!parameter.isEmpty() && parameter == parameter.trimmed());
            const std::optional<double> time =
                Scpi::parseNumeric(parameter, Scpi::Unit::Seconds, 0, 1);
            FUZZ_CHECK(!time || std::isfinite(*time));
            // A string read back quotes again to what was read.
            if (const std::optional<QString> text = Scpi::parseString(parameter)) {
                QByteArray quoted = text->toLatin1();
                quoted.replace('"', "\"\"");
                FUZZ_CHECK(Scpi::parseString('"' + quoted + '"') == text);
            }
            Scpi::parseBoolean(parameter);
            status.pushError(-224, QString::fromLatin1(parameter));
        }
    }
    // Every queued error comes out as one line of printable ASCII.
    FUZZ_CHECK(status.errorCount() <= ScpiStatus::QueueSize);
    while (status.errorCount())
        FUZZ_CHECK(printableAscii(status.nextError()));
    return 0;
}
