// The 32-byte identity reply (serial number and network block) as the
// network dialog shows it, and the block it writes back from the shown texts.

#include "fuzz/fuzz_support.h"
#include "network/address_check.h"
#include "network/network_block.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    // The USB read takes exactly 32 bytes; anything else never reaches the
    // decoder.
    if (size != NetworkBlock::IdentityReplySize)
        return 0;
    std::uint8_t reply[NetworkBlock::IdentityReplySize];
    std::memcpy(reply, data, size);

    const QString serial = NetworkBlock::serialNumberText(reply);
    FUZZ_CHECK(serial.size() >= 10 && serial.size() <= 20);
    for (const QChar c : serial)
        FUZZ_CHECK((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                   (c >= QLatin1Char('A') && c <= QLatin1Char('F')));

    // What the dialog shows passes its own checks and, sent unchanged,
    // writes the block the instrument reported (DHCP as 0 or 1).
    const NetworkFields fields = NetworkBlock::fieldsFromIdentity(reply);
    FUZZ_CHECK(AddressCheck::firstInvalidField(fields) == AddressCheck::Field::None);
    std::uint8_t block[NetworkBlock::BlockSize];
    NetworkBlock::fillBlock(block, fields);
    const std::uint8_t *reported = reply + 13;
    FUZZ_CHECK(block[0] == (reported[0] != 0 ? 1 : 0));
    FUZZ_CHECK(std::memcmp(block + 1, reported + 1, NetworkBlock::BlockSize - 1) == 0);
    return 0;
}
