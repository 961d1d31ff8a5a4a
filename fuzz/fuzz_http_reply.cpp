// Whatever an instrument sends back on a connection, read by the HTTP client's
// reply reader. The first byte chooses the sizes of the pieces the rest
// arrives in: a reply read in pieces must end exactly as the whole does (every
// piece is handed over, also after the reply looked complete).

#include "device/http_reply_parser.h"
#include "fuzz/fuzz_support.h"

namespace {
struct Outcome
{
    HttpReplyParser::Result result;
    HttpReplyParser::Failure failure;
    int status;
    QByteArray body;
};

Outcome readReply(const QByteArray &reply, int piece, bool closed)
{
    HttpReplyParser parser(4096);
    HttpReplyParser::Result result = HttpReplyParser::Result::Incomplete;
    for (qsizetype at = 0; at < reply.size() && result != HttpReplyParser::Result::Failed;
         at += piece)
        result = parser.feed(
            QByteArrayView(reply).sliced(at, qMin<qsizetype>(piece, reply.size() - at)));
    if (closed && result == HttpReplyParser::Result::Incomplete)
        result = parser.finish();
    return {result, parser.failure(), parser.statusCode(), parser.takeBody()};
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SlowestInputWatch watch(data, size);
    if (size == 0)
        return 0;
    const int piece = 1 + data[0] % 17;
    const bool closed = data[0] & 0x80;
    const QByteArray reply = fuzzBytes(data + 1, size - 1);

    const Outcome whole = readReply(reply, qMax<qsizetype>(1, reply.size()), closed);
    const Outcome pieces = readReply(reply, piece, closed);
    FUZZ_CHECK(whole.result == pieces.result);
    FUZZ_CHECK(whole.failure == pieces.failure);
    if (whole.result == HttpReplyParser::Result::Complete) {
        FUZZ_CHECK(whole.failure == HttpReplyParser::Failure::None);
        FUZZ_CHECK(whole.status >= 200 && whole.status <= 599 && whole.status / 100 != 3);
        FUZZ_CHECK(whole.body.size() <= 4096);
        FUZZ_CHECK(whole.body == pieces.body && whole.status == pieces.status);
    }
    if (whole.result == HttpReplyParser::Result::Failed)
        FUZZ_CHECK(whole.failure != HttpReplyParser::Failure::None);
    return 0;
}
