// The network block filled from what the operator typed: MAC, IP, mask and
// gateway, one per line, the first byte's low bit the DHCP box.

#include "fuzz/fuzz_support.h"
#include "network/network_block.h"

#include <QStringList>

#include <cerrno>
#include <cstdlib>

namespace {
// The block's parts follow C's conversions; compared where C's result is
// defined and the text is what C would see.
void checkAgainstC(const QString &part)
{
    const QByteArray bytes = part.toUtf8();
    if (bytes.contains('\0'))
        return;
    errno = 0;
    const unsigned long hex = std::strtoul(bytes.constData(), nullptr, 16);
    if (errno != ERANGE)
        FUZZ_CHECK(NetworkBlock::hexPartByte(part) == static_cast<std::uint8_t>(hex));
    errno = 0;
    const long decimal = std::strtol(bytes.constData(), nullptr, 10);
    if (errno != ERANGE)
        FUZZ_CHECK(NetworkBlock::decimalPartByte(part) == static_cast<std::uint8_t>(decimal));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    if (size == 0)
        return 0;
    const QStringList lines = fuzzText(data + 1, size - 1).split(QLatin1Char('\n'));
    NetworkFields fields;
    fields.dhcp = data[0] & 1;
    fields.mac = lines.value(0);
    fields.ip = lines.value(1);
    fields.mask = lines.value(2);
    fields.gateway = lines.value(3);

    std::uint8_t block[NetworkBlock::BlockSize];
    NetworkBlock::fillBlock(block, fields);
    FUZZ_CHECK(block[0] == (fields.dhcp ? 1 : 0));
    for (const QString &part : fields.mac.split(QLatin1Char(':')))
        checkAgainstC(part);
    for (const QString &part : fields.ip.split(QLatin1Char('.')))
        checkAgainstC(part);
    return 0;
}
