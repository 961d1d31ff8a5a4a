// The instrument's "/network.shtml" as the network dialog reads it, and the
// write path made from what it found.

#include "fuzz/fuzz_support.h"
#include "network/address_check.h"
#include "network/network_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    const QString text = NetworkPage::pageText(fuzzBytes(data, size));
    FUZZ_CHECK(!text.contains(QLatin1Char('\n')) && !text.contains(QChar(0)));
    const NetworkPage::Content content = NetworkPage::parse(text);
    if (content.hasAddresses) {
        // The page's MAC pattern is stricter than the dialog's check.
        FUZZ_CHECK(AddressCheck::isMacAddress(content.fields.mac));
        FUZZ_CHECK(!content.fields.ip.isEmpty() && !content.fields.mask.isEmpty() &&
                   !content.fields.gateway.isEmpty());
    }
    if (!content.hasDhcp)
        FUZZ_CHECK(!content.fields.dhcp);
    const QString path = NetworkPage::writePath(content.fields);
    FUZZ_CHECK(path.startsWith(QLatin1String(NetworkPage::Path)));
    return 0;
}
