#include "platform/wire/wire.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QtEndian>

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
    if (buffer.size() < HeaderBytes)
        return TakeResult::Incomplete;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > MaxFrameBytes)
        return TakeResult::Oversized;
    if (buffer.size() < HeaderBytes + static_cast<qsizetype>(length))
        return TakeResult::Incomplete;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(buffer.constData() + HeaderBytes, length), &parseError);
    buffer.remove(0, HeaderBytes + length);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return TakeResult::Malformed;
    message = document.object();
    return TakeResult::Frame;
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
