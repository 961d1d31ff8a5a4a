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

    // A typed instrument address is refused with a reason, or taken in a form
    // a request goes to and that is taken again as it stands.
    const InstrumentAddress instrument = checkInstrumentAddress(text);
    FUZZ_CHECK(instrument.address.isEmpty() != instrument.problem.isEmpty());
    if (!instrument.address.isEmpty()) {
        FUZZ_CHECK(!requestHost(instrument.address).isEmpty());
        FUZZ_CHECK(checkInstrumentAddress(instrument.address).address == instrument.address);
    }

    // A mask or gateway is refused with a reason, or passes the field checks
    // and, in the form it is sent in, every check again.
    for (QString NetworkFields::*field : {&NetworkFields::mask, &NetworkFields::gateway}) {
        typed = valid;
        typed.*field = text;
        const AddressCheck::Finding finding = AddressCheck::firstFinding(typed);
        FUZZ_CHECK((finding.field == AddressCheck::Field::None) == finding.reason.isEmpty());
        const NetworkFields sent = AddressCheck::canonicalAddresses(typed);
        if (finding.field == AddressCheck::Field::None)
            FUZZ_CHECK(AddressCheck::firstInvalidField(sent) == AddressCheck::Field::None &&
                       AddressCheck::firstFinding(sent).field == AddressCheck::Field::None);
    }

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
