#include "device/http_reply_parser.h"

#include <QList>

#include <cctype>

namespace {

const qsizetype kMaxHeadBytes = 16 * 1024; // status line, fields and trailer together
const qsizetype kMaxChunkSizeLine = 1024;

bool isTokenChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool allOf(QByteArrayView text, int (*test)(int))
{
    for (char c : text)
        if (!test(static_cast<unsigned char>(c)))
            return false;
    return !text.isEmpty();
}

} // namespace

HttpReplyParser::HttpReplyParser(qint64 maxBodySize) : maxBody(maxBodySize) {}

HttpReplyParser::Result HttpReplyParser::feed(QByteArrayView data)
{
    if (broken != Failure::None)
        return Result::Failed;
    if (stage == Stage::Done)
        return Result::Complete; // what follows a complete reply is not part of it
    pending += data;
    while (broken == Failure::None && step()) {
    }
    return result();
}

HttpReplyParser::Result HttpReplyParser::finish()
{
    switch (stage) {
    case Stage::Done:
    case Stage::BodyToClose:
        if (broken == Failure::None)
            stage = Stage::Done;
        return result();
    case Stage::StatusLine:
    case Stage::Fields:
        return fail(Failure::ClosedEarly);
    case Stage::FixedBody:
        return fail(Failure::WrongLength);
    default:
        return fail(Failure::InvalidChunkedBody);
    }
}

QByteArray HttpReplyParser::takeBody()
{
    QByteArray taken;
    taken.swap(body);
    return taken;
}

HttpReplyParser::Result HttpReplyParser::fail(Failure failure)
{
    if (broken == Failure::None)
        broken = failure;
    pending.clear();
    body.clear();
    return Result::Failed;
}

HttpReplyParser::Result HttpReplyParser::result() const
{
    if (broken != Failure::None)
        return Result::Failed;
    return stage == Stage::Done ? Result::Complete : Result::Incomplete;
}

// One step on the pending bytes; false when they are used up for now.
bool HttpReplyParser::step()
{
    QByteArray line;
    switch (stage) {
    case Stage::StatusLine:
        // Neither an HTTP/0.9 page nor garbage gets to fill the head limit.
        if (!QByteArrayView("HTTP/").startsWith(
                QByteArrayView(pending).first(qMin<qsizetype>(5, pending.size())))) {
            fail(Failure::InvalidHeader);
            return false;
        }
        if (!takeLine(line, kMaxHeadBytes - headBytes, Failure::InvalidHeader))
            return false;
        if (!parseStatusLine(line))
            fail(Failure::InvalidHeader);
        else
            stage = Stage::Fields;
        return true;
    case Stage::Fields:
        if (!takeLine(line, kMaxHeadBytes - headBytes, Failure::InvalidHeader))
            return false;
        if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            // An obsolete folded line continues the field before it, the
            // fold read as one space.
            if (field.isEmpty())
                fail(Failure::InvalidHeader);
            field += ' ' + line.trimmed();
            return true;
        }
        if (!field.isEmpty() && !parseField(field)) {
            fail(Failure::InvalidHeader);
            return true;
        }
        field = line;
        if (line.isEmpty() && status < 200)
            stage = Stage::StatusLine; // an interim reply; the real one follows
        else if (line.isEmpty())
            beginBody();
        return true;
    case Stage::FixedBody:
    case Stage::ChunkData:
        if (pending.isEmpty())
            return false;
        takeBodyBytes(qMin<qint64>(remaining, pending.size()));
        if (remaining == 0)
            stage = stage == Stage::FixedBody ? Stage::Done : Stage::ChunkEnd;
        return true;
    case Stage::BodyToClose:
        if (pending.isEmpty())
            return false;
        takeBodyBytes(pending.size());
        return true;
    case Stage::ChunkSize: {
        if (!takeLine(line, kMaxChunkSizeLine, Failure::InvalidChunkedBody))
            return false;
        const qsizetype extension = line.indexOf(';');
        const QByteArray size = (extension < 0 ? line : line.left(extension)).trimmed();
        bool ok = size.size() <= 15 && allOf(size, isxdigit);
        remaining = ok ? size.toLongLong(&ok, 16) : 0;
        if (!ok)
            fail(Failure::InvalidChunkedBody);
        else if (body.size() + remaining > maxBody)
            fail(Failure::TooLarge);
        else
            stage = remaining == 0 ? Stage::Trailer : Stage::ChunkData;
        return true;
    }
    case Stage::ChunkEnd:
        if (pending.startsWith("\r\n") || pending.startsWith('\n')) {
            pending.remove(0, pending.startsWith('\n') ? 1 : 2);
            stage = Stage::ChunkSize;
            return true;
        }
        if (!pending.isEmpty() && pending != "\r")
            fail(Failure::InvalidChunkedBody);
        return false;
    case Stage::Trailer:
        if (!takeLine(line, kMaxHeadBytes - headBytes, Failure::InvalidChunkedBody))
            return false;
        if (line.isEmpty())
            stage = Stage::Done;
        return true;
    case Stage::Done:
        pending.clear(); // beyond the framing: not part of this reply
        return false;
    }
    return false;
}

// The next line without its line end (CRLF or a bare LF), or false while it
// has not come whole; a line over the limit fails the reply.
bool HttpReplyParser::takeLine(QByteArray &line, qsizetype limit, Failure tooLong)
{
    const qsizetype end = pending.indexOf('\n');
    if (end < 0 || end + 1 > limit) {
        if (end >= 0 || pending.size() > limit)
            fail(tooLong);
        return false;
    }
    line = pending.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    pending.remove(0, end + 1);
    if (stage != Stage::ChunkSize)
        headBytes += end + 1;
    return true;
}

// "HTTP/1.1 200 OK": version 1.x, a three-digit status, any reason.
bool HttpReplyParser::parseStatusLine(const QByteArray &line)
{
    if (line.size() < 12 || !line.startsWith("HTTP/1.") || !std::isdigit(uchar(line[7])) ||
        line[8] != ' ' || (line.size() > 12 && line[12] != ' '))
        return false;
    const QByteArrayView code = QByteArrayView(line).sliced(9, 3);
    status = allOf(code, isdigit) ? code.toInt() : 0;
    return status >= 100 && status <= 599;
}

// "Name: value"; of the fields only the body's framing and coding matter.
bool HttpReplyParser::parseField(const QByteArray &line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return false;
    for (qsizetype i = 0; i < colon; ++i)
        if (!isTokenChar(line[i]))
            return false; // also a folded continuation line
    const QByteArray name = line.left(colon).toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    auto addTo = [&value](QByteArray &field) {
        field += (field.isEmpty() ? "" : ", ") + value.toLower();
    };
    if (name == "content-length") {
        if (!allOf(value, isdigit) || value.size() > 15 ||
            (!contentLength.isEmpty() && contentLength != value))
            return false;
        contentLength = value;
    } else if (name == "transfer-encoding") {
        addTo(transferEncoding);
    } else if (name == "content-encoding") {
        addTo(contentEncoding);
    }
    return true;
}

void HttpReplyParser::beginBody()
{
    if (!contentEncoding.isEmpty() && contentEncoding != "identity") {
        fail(Failure::Refused);
        return;
    }
    // "identity" codes nothing: the body is framed as if it were not there.
    QList<QByteArray> codings = transferEncoding.split(',');
    codings.removeIf([](const QByteArray &coding) {
        return coding.trimmed() == "identity" || coding.trimmed().isEmpty();
    });
    transferEncoding = codings.join(',').trimmed();
    if (!transferEncoding.isEmpty() && transferEncoding != "chunked") {
        fail(Failure::Refused);
        return;
    }
    if (!transferEncoding.isEmpty() && !contentLength.isEmpty()) {
        fail(Failure::InvalidHeader); // two framings: which one ends it is anybody's guess
        return;
    }
    if (status >= 300 && status < 400) {
        fail(Failure::Refused);
        return;
    }
    if (status == 204 || status == 304) {
        stage = Stage::Done;
    } else if (!transferEncoding.isEmpty()) {
        stage = Stage::ChunkSize;
    } else if (!contentLength.isEmpty()) {
        remaining = contentLength.toLongLong();
        if (remaining > maxBody)
            fail(Failure::TooLarge);
        stage = remaining == 0 ? Stage::Done : Stage::FixedBody;
    } else {
        stage = Stage::BodyToClose;
    }
}

void HttpReplyParser::takeBodyBytes(qint64 count)
{
    if (body.size() + count > maxBody) {
        fail(Failure::TooLarge);
        return;
    }
    body += QByteArrayView(pending).first(count);
    pending.remove(0, count);
    if (stage != Stage::BodyToClose)
        remaining -= count;
}
