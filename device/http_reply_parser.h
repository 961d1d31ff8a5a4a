#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Reads one HTTP/1.x reply as it arrives and says when it is complete or
// broken. Only a whole reply counts: the status line and header fields
// within 16 KB (a folded field line joined to the one before by a space),
// then exactly the body its framing announces (Content-Length, chunked, or
// everything up to the close), no less; whatever follows a complete reply is
// not part of it and is dropped, whether it came with it or later. The panel
// asks for no compression and follows no redirect, so a Content-Encoding or
// Transfer-Encoding other than identity or chunked, and a 3xx status, are
// refused as soon as the header says so. Interim 1xx replies are skipped.
class HttpReplyParser
{
public:
    enum class Result { Incomplete, Complete, Failed };
    enum class Failure {
        None,
        ClosedEarly,        // closed before the header was complete
        InvalidHeader,      // no HTTP/1.x status line, a malformed field, a header too long
        InvalidChunkedBody, // a malformed chunk size or framing, or no last chunk
        WrongLength,        // a body shorter than announced
        TooLarge,           // a body over the size limit
        Refused,            // compressed, of an unknown transfer coding, or a redirect
    };

    // The reply to a GET (the only request the client sends).
    explicit HttpReplyParser(qint64 maxBodySize = 64 * 1024);

    // Bytes as they came from the connection.
    Result feed(QByteArrayView data);
    // The peer closed the connection: a body up to the close ends here.
    Result finish();

    Failure failure() const { return broken; }
    int statusCode() const { return status; }
    QByteArray takeBody();

private:
    enum class Stage {
        StatusLine,
        Fields,
        FixedBody,
        BodyToClose,
        ChunkSize,
        ChunkData,
        ChunkEnd,
        Trailer,
        Done
    };

    bool step();
    bool takeLine(QByteArray &line, qsizetype limit, Failure tooLong);
    bool parseStatusLine(const QByteArray &line);
    bool parseField(const QByteArray &line);
    void beginBody();
    void takeBodyBytes(qint64 count);
    Result fail(Failure failure);
    Result result() const;

    qint64 maxBody;
    Stage stage = Stage::StatusLine;
    Failure broken = Failure::None;
    QByteArray pending; // received and not yet taken apart
    qint64 headBytes = 0;
    qint64 remaining = 0; // of the fixed body or the current chunk
    int status = 0;
    QByteArray contentLength;
    QByteArray transferEncoding;
    QByteArray contentEncoding;
    QByteArray field; // the header field line read last, folded lines joined
    QByteArray body;
};
