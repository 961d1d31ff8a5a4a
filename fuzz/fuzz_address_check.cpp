// The checks a typed network configuration passes before it is sent.

#include "device/ipv4_address.h"
#include "fuzz/fuzz_support.h"
#include "network/address_check.h"
#include "network/network_block.h"

#include <QStringList>

#include <cstring>

namespace {
bool onlyOf(const QString &text, const char *allowed)
{
    for (const QChar c : text)
        if (c.unicode() > 127 || !std::strchr(allowed, static_cast<char>(c.unicode())))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    const QString text = fuzzText(data, size);
    const NetworkFields valid{QStringLiteral("00:1B:C5:0A:0B:0C"), QStringLiteral("127.0.0.1"),
                              QStringLiteral("255.0.0.0"), QStringLiteral("127.0.0.1"), false};

    NetworkFields typed = valid;
    typed.ip = text;
    const bool ipAccepted = isIpv4Address(text);
    FUZZ_CHECK((AddressCheck::firstInvalidField(typed) == AddressCheck::Field::None) == ipAccepted);
    typed = valid;
    typed.mac = text;
    const bool macAccepted = AddressCheck::isMacAddress(text);
    FUZZ_CHECK((AddressCheck::firstInvalidField(typed) == AddressCheck::Field::None) ==
               macAccepted);

    // An accepted address is plain ASCII of its own kind, and the block made
    // from it reads back as an address that is accepted again and makes the
    // same block.
    std::uint8_t block[NetworkBlock::BlockSize];
    std::uint8_t reply[NetworkBlock::IdentityReplySize] = {};
    if (ipAccepted) {
        FUZZ_CHECK(text.size() <= 15 && onlyOf(text, "0123456789."));
        typed = valid;
        typed.ip = text;
    }
    if (macAccepted) {
        FUZZ_CHECK(text.size() <= 17 && onlyOf(text, "0123456789abcdefABCDEF:"));
        typed = valid;
        typed.mac = text;
    }
    if (ipAccepted || macAccepted) {
        NetworkBlock::fillBlock(block, typed);
        std::memcpy(reply + 13, block, sizeof block);
        const NetworkFields shown = NetworkBlock::fieldsFromIdentity(reply);
        FUZZ_CHECK(AddressCheck::firstInvalidField(shown) == AddressCheck::Field::None);
        std::uint8_t again[NetworkBlock::BlockSize];
        NetworkBlock::fillBlock(again, shown);
        FUZZ_CHECK(std::memcmp(block, again, sizeof block) == 0);
    }
    return 0;
}
