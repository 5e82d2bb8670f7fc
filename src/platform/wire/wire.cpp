#include "platform/wire/wire.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QtEndian>

#include <algorithm>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace wire {

QByteArray encodeFrame(const QJsonObject& message)
{
    const QByteArray payload = QJsonDocument(message).toJson(QJsonDocument::Compact);
    if (payload.size() > static_cast<qsizetype>(MaxFrameBytes))
        return {};
    QByteArray frame(HeaderBytes, Qt::Uninitialized);
    qToBigEndian(static_cast<quint32>(payload.size()), frame.data());
    frame.append(payload);
    return frame;
}

TakeResult takeFrame(QByteArray& buffer, QJsonObject& message)
{
    switch (takeMessage(buffer, message, DecodeLimits{})) {
    case Decoded::Incomplete:
        return TakeResult::Incomplete;
    case Decoded::Message:
        return TakeResult::Frame;
    case Decoded::TooLarge:
        return TakeResult::Oversized;
    case Decoded::TooManyFields: // no field limit here
    case Decoded::Malformed:
        break;
    }
    return TakeResult::Malformed;
}

std::optional<std::uint32_t> announcedLength(const QByteArray& buffer)
{
    if (buffer.size() < HeaderBytes)
        return std::nullopt;
    return qFromBigEndian<quint32>(buffer.constData());
}

Decoded takeMessage(QByteArray& buffer, QJsonObject& message, const DecodeLimits& limits)
{
    const std::optional<std::uint32_t> length = announcedLength(buffer);
    if (!length)
        return Decoded::Incomplete;
    if (*length > std::min(limits.maxBytes, MaxFrameBytes))
        return Decoded::TooLarge;
    if (buffer.size() < HeaderBytes + static_cast<qsizetype>(*length))
        return Decoded::Incomplete;
    const QByteArrayView payload(buffer.constData() + HeaderBytes, *length);
    Decoded result = Decoded::Malformed;
    // Counting is a pass of its own, spared where fields are not bounded.
    const bool fieldsBounded = limits.maxFields < DecodeLimits{}.maxFields;
    if (fieldsBounded && countFields(payload, limits.maxFields) > limits.maxFields) {
        result = Decoded::TooManyFields;
    } else {
        QJsonParseError parseError;
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromRawData(payload.data(), payload.size()), &parseError);
        if (parseError.error == QJsonParseError::NoError && document.isObject()) {
            message = document.object();
            result = Decoded::Message;
        }
    }
    buffer.remove(0, HeaderBytes + *length);
    return result;
}

qsizetype countFields(QByteArrayView json, qsizetype stopAbove)
{
    // Outside strings every comma adds a member or an element, and every opening bracket the first
    // one of its own.
    const char* at = json.data();
    const char* const end = at + json.size();
    qsizetype fields = 0;
    while (at != end && fields <= stopAbove) {
        const char c = *at++;
        if (c == ',' || c == '{' || c == '[') {
            ++fields;
        } else if (c == '"') {
            // To the closing quote: the next one not escaped by an odd run of backslashes.
            for (;;) {
                const auto* quote = static_cast<const char*>(std::memchr(at, '"', std::size_t(end - at)));
                if (!quote)
                    return fields;
                const char* escapes = quote;
                while (escapes != at && escapes[-1] == '\\')
                    --escapes;
                at = quote + 1;
                if ((quote - escapes) % 2 == 0)
                    break;
            }
        }
    }
    return fields;
}

QJsonObject okReply()
{
    return QJsonObject{{u"ok"_s, true}};
}

QJsonObject errorReply(std::int32_t number, const QString& text)
{
    return QJsonObject{{u"ok"_s, false}, {u"error"_s, QJsonObject{{u"number"_s, number}, {u"text"_s, text}}}};
}

std::optional<ErrorInfo> replyError(const QJsonObject& reply)
{
    if (reply.value(u"ok"_s).toBool(false))
        return std::nullopt;
    const QJsonObject error = reply.value(u"error"_s).toObject();
    ErrorInfo info;
    info.number = error.value(u"number"_s).toInt(error::Protocol);
    info.text = error.value(u"text"_s).toString(u"Antwort ohne Fehlerbeschreibung"_s);
    return info;
}

} // namespace wire
