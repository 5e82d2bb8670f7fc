#pragma once

// The wire format between the object-server client and veldor-server, read by both sides.
//
// A connection carries frames in both directions. A frame is a 4-byte unsigned length in network byte
// order followed by that many bytes of one UTF-8 JSON object. Frames larger than MaxFrameBytes are
// refused: the receiver answers with a protocol error (when it can) and closes the connection.
//
// The client speaks first and waits for each reply before sending the next request (strict
// request/reply, no pipelining). Every request carries "op"; every reply carries "ok".
//
//   {"op":"hello","version":1,"namespace":"VELDOR"}    -> {"ok":true,"version":1,"session":7}
//   {"op":"open","class":"VD.ParPersEdv","id":"1||K17"} -> {"ok":true,"handle":3}
//   {"op":"classobj","class":"VD.Windows"}              -> {"ok":true,"handle":4}
//   {"op":"get","handle":3,"name":"Passwort"}           -> {"ok":true,"value":"geheim"}   (value may be null)
//   {"op":"call","handle":4,"name":"Xecute","args":["S P0=1"]} -> {"ok":true,"value":"1"}
//   {"op":"close","handle":3}                           -> {"ok":true}
//
// A failed request is answered {"ok":false,"error":{"number":N,"text":"..."}} and the session goes on.
// The server takes less than a frame may hold: a request larger than its limit is refused with
// BadRequest as soon as its length has come, and the connection is closed; one with more fields
// (members and array elements at every depth) than its limit is refused with BadRequest undecoded,
// and the session goes on.
// "hello" must come first; a refused hello (version, namespace, no free licence) is answered with an
// error and the server closes the connection. One connection is one session and holds one licence.
// A reply that would not fit in a frame is answered with the error ReplyTooLarge instead. A
// connection beyond the server's connection limit gets the error TooManyConnections unasked and is
// closed.

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <limits>
#include <optional>

namespace wire {

inline constexpr int Version = 1;
inline constexpr std::uint32_t MaxFrameBytes = 1U << 20;
inline constexpr int HeaderBytes = 4;

// Error numbers as the client reports them: in the range the component model reserves for object
// errors (0x80040000 + code), so they read as negative numbers like every other automation error.
namespace error {
inline constexpr std::int32_t Base = static_cast<std::int32_t>(0x80040000U);
// Reported by the server.
inline constexpr std::int32_t NoSuchObject = Base + 5001;
inline constexpr std::int32_t NoSuchClass = Base + 5002;
inline constexpr std::int32_t NoSuchProperty = Base + 5003;
inline constexpr std::int32_t NoSuchMethod = Base + 5004;
inline constexpr std::int32_t InvalidHandle = Base + 5005;
inline constexpr std::int32_t BadArguments = Base + 5006;
inline constexpr std::int32_t BadRequest = Base + 5007;
inline constexpr std::int32_t NoLicence = Base + 5008;
inline constexpr std::int32_t BadNamespace = Base + 5009;
inline constexpr std::int32_t BadVersion = Base + 5010;
inline constexpr std::int32_t ObjectLimit = Base + 5011;
inline constexpr std::int32_t ReplyTooLarge = Base + 5012;
inline constexpr std::int32_t TooManyConnections = Base + 5013;
// M execution errors: MBase + the interpreter's own error number.
inline constexpr std::int32_t MBase = Base + 5100;
// Raised by the client itself.
inline constexpr std::int32_t NotConnected = Base + 6001;
inline constexpr std::int32_t ConnectionLost = Base + 6002;
inline constexpr std::int32_t Timeout = Base + 6003;
inline constexpr std::int32_t Protocol = Base + 6004;
inline constexpr std::int32_t NoFactory = Base + 6005;
} // namespace error

// Frames one JSON object. Returns an empty array when the encoded object exceeds MaxFrameBytes.
QByteArray encodeFrame(const QJsonObject& message);

enum class TakeResult
{
    Incomplete, // more bytes are needed
    Frame,      // one message was taken off the front of the buffer
    Oversized,  // the announced length exceeds MaxFrameBytes
    Malformed,  // the payload is not one JSON object
};

// Takes one complete frame off the front of buffer, if there is one.
TakeResult takeFrame(QByteArray& buffer, QJsonObject& message);

// What a receiver decodes of one message at most, so that decoding one costs at most what these
// allow: the bytes of its JSON text, and its fields, counted before it is decoded.
struct DecodeLimits
{
    std::uint32_t maxBytes = MaxFrameBytes;
    qsizetype maxFields = std::numeric_limits<qsizetype>::max();
};

enum class Decoded
{
    Incomplete,    // more bytes are needed
    Message,       // one message was taken off the front of the buffer
    TooLarge,      // the announced length exceeds maxBytes; said as soon as the header has come
    TooManyFields, // taken off the buffer undecoded
    Malformed,     // taken off the buffer; not one JSON object
};

// takeFrame within limits.
Decoded takeMessage(QByteArray& buffer, QJsonObject& message, const DecodeLimits& limits);

// The payload length the frame at the front of buffer announces, once its header has come.
std::optional<std::uint32_t> announcedLength(const QByteArray& buffer);

// The fields of a JSON text, counted without decoding it: each member and each array element at every
// depth (an empty object or array counts as one). Counting stops once the count passes stopAbove.
// Text that is not JSON yields some count; the decoder refuses it in its turn.
qsizetype countFields(QByteArrayView json, qsizetype stopAbove);

// Reply helpers, shared so both sides agree on the field names.
QJsonObject okReply();
QJsonObject errorReply(std::int32_t number, const QString& text);

struct ErrorInfo
{
    std::int32_t number = 0;
    QString text;
};
// The error of a reply with "ok": false, or nothing for a successful reply.
std::optional<ErrorInfo> replyError(const QJsonObject& reply);

} // namespace wire
