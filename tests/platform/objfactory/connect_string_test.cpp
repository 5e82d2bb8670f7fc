#include "platform/objfactory/connect_string.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using objfactory::parseConnectString;

TEST(ConnectString, TakesAddressPortAndNamespace)
{
    const auto target = parseConnectString(u"cn_iptcp:192.168.10.5[1973]:VELDOR"_s);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->host, u"192.168.10.5"_s);
    EXPECT_EQ(target->port, 1973);
    EXPECT_EQ(target->nameSpace, u"VELDOR"_s);
    EXPECT_TRUE(parseConnectString(u"cn_iptcp:wws.example.org[56773]:%SYS"_s));
}

TEST(ConnectString, RefusesWhatDoesNotParse)
{
    for (const QString& text : {u""_s, u"cn_iptcp:[1973]:VELDOR"_s, u"cn_iptcp:127.0.0.1[]:VELDOR"_s,
                                u"cn_iptcp:127.0.0.1[70000]:VELDOR"_s, u"cn_iptcp:127.0.0.1[0]:VELDOR"_s,
                                u"cn_iptcp:127.0.0.1[1973]"_s, u"cn_iptcp:127.0.0.1[1973]:"_s,
                                u"cn_tcp:127.0.0.1[1973]:VELDOR"_s, u"cn_iptcp:127.0.0.1[19x3]:VELDOR"_s,
                                u"cn_iptcp:127.0.0.1 [1973]:VELDOR"_s, u"cn_iptcp:127.0.0.1[1973]:VELDOR "_s})
        EXPECT_FALSE(parseConnectString(text)) << qPrintable(text);
}
