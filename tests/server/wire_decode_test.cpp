// Decoding within limits, as the server takes requests: what is refused before it is decoded, and
// that the client's own reading of replies is as before.
#include "platform/wire/wire.h"

#include <QJsonArray>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray frameOf(const QByteArray& payload)
{
    QByteArray frame(wire::HeaderBytes, Qt::Uninitialized);
    qToBigEndian(static_cast<quint32>(payload.size()), frame.data());
    return frame + payload;
}

// {"op":"get","f0":0,...}: 1 + extra fields.
QByteArray withFields(int extra)
{
    QByteArray payload = R"({"op":"get")";
    for (int i = 0; i < extra; ++i)
        payload += ",\"f" + QByteArray::number(i) + "\":0";
    return payload + '}';
}

} // namespace

TEST(WireDecodeTest, FieldsAreMembersAndElementsAtEveryDepth)
{
    const std::pair<QByteArray, qsizetype> cases[] = {
        {R"({"a":1})", 1},
        {R"({"a":1,"b":[1,2,3]})", 5},
        {R"({"a":{"b":{"c":[[1],[2,3]]}}})", 8},
        {R"({"op":"call","handle":4,"name":"Xecute","args":["S P0=1"]})", 5},
        {R"({"a":"x,y{z[w","b":",,,,"})", 2},                 // inside strings nothing counts
        {R"({"a":"say \"hi, you\", [1,2]","b":1})", 2},       // nor after an escaped quote
        {R"({"a":"ends in a backslash \\","b":1,"c":2})", 3}, // an escaped backslash ends no string
        {R"({"a":"\\\"still, inside","b":1})", 2},
        {R"({"a":"never closed, [1,2,3])", 1},
    };
    for (const auto& [json, fields] : cases)
        EXPECT_EQ(wire::countFields(json, 1000), fields) << json.constData();
}

TEST(WireDecodeTest, CountingStopsOnceTheLimitIsPassed)
{
    const QByteArray many = withFields(60000);
    EXPECT_EQ(wire::countFields(many, 1000000), 60001);
    EXPECT_EQ(wire::countFields(many, 64), 65);
}

TEST(WireDecodeTest, TooLargeIsToldFromTheHeaderAlone)
{
    const wire::DecodeLimits limits{1000, 64};
    QByteArray header(wire::HeaderBytes, Qt::Uninitialized);
    qToBigEndian<quint32>(1001, header.data());
    QJsonObject message;
    QByteArray buffer = header;
    EXPECT_EQ(wire::takeMessage(buffer, message, limits), wire::Decoded::TooLarge);
    EXPECT_EQ(buffer, header) << "nothing is taken: the connection is closed";

    QByteArray exact = R"({"op":"get","name":")";
    exact += QByteArray(1000 - exact.size() - 2, 'x') + "\"}";
    ASSERT_EQ(exact.size(), 1000);
    buffer = frameOf(exact);
    EXPECT_EQ(wire::takeMessage(buffer, message, limits), wire::Decoded::Message);
    EXPECT_EQ(message[u"name"_s].toString().size(), 1000 - 22);
    EXPECT_TRUE(buffer.isEmpty());

    buffer = frameOf(exact).left(500);
    EXPECT_EQ(wire::takeMessage(buffer, message, limits), wire::Decoded::Incomplete);
    EXPECT_EQ(buffer.size(), 500);
}

TEST(WireDecodeTest, ARefusedRequestLeavesTheNextOneWhole)
{
    const wire::DecodeLimits limits{wire::MaxFrameBytes, 64};
    QByteArray buffer =
        frameOf(withFields(64)) + frameOf(withFields(63)) + frameOf("[1,2]") + frameOf(R"({"op":"close"})");
    QJsonObject message;
    EXPECT_EQ(wire::takeMessage(buffer, message, limits), wire::Decoded::TooManyFields);
    EXPECT_EQ(wire::takeMessage(buffer, message, limits), wire::Decoded::Message) << "64 fields are allowed";
    EXPECT_EQ(message.size(), 64);
    EXPECT_EQ(wire::takeMessage(buffer, message, limits), wire::Decoded::Malformed);
    EXPECT_EQ(wire::takeMessage(buffer, message, limits), wire::Decoded::Message);
    EXPECT_EQ(message[u"op"_s].toString(), u"close"_s);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(wire::takeMessage(buffer, message, limits), wire::Decoded::Incomplete);
}

TEST(WireDecodeTest, TheClientsReadingIsUnbounded)
{
    // Replies are the server's own: the client reads any that fits in a frame, as before.
    QByteArray buffer = frameOf(withFields(5000));
    QJsonObject message;
    EXPECT_EQ(wire::takeFrame(buffer, message), wire::TakeResult::Frame);
    EXPECT_EQ(message.size(), 5001);

    QByteArray header(wire::HeaderBytes, Qt::Uninitialized);
    qToBigEndian<quint32>(wire::MaxFrameBytes + 1, header.data());
    EXPECT_EQ(wire::takeFrame(header, message), wire::TakeResult::Oversized);
    QByteArray notJson = frameOf("{{");
    EXPECT_EQ(wire::takeFrame(notJson, message), wire::TakeResult::Malformed);
    EXPECT_TRUE(notJson.isEmpty());
}
