#include "log.h"
#include "options.h"
#include "server_process.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

TEST(LogEscapeTest, NothingAClientSendsCanBreakOrColourALine)
{
    EXPECT_EQ(veldor::escapeForLog(u"S P0=1 ^TOVI(1,\"a\")"_s), u"S P0=1 ^TOVI(1,\"a\")"_s);
    EXPECT_EQ(veldor::escapeForLog(u"a\nb\r\x1b[31m\x7f"_s), uR"(a\x0ab\x0d\x1b[31m\x7f)"_s);
    EXPECT_EQ(veldor::escapeForLog(u"\\x0a"_s), uR"(\\x0a)"_s) << "an escape cannot be faked";
    EXPECT_EQ(veldor::escapeForLog(u"\u0085\u00a0\u2028\u2029\u202e\u200b\ufeff\ue000"_s),
              uR"(\x85 \u{2028}\u{2029}\u{202e}\u{200b}\u{feff}\u{e000})"_s.replace(u' ', QChar(0xA0)));
    EXPECT_EQ(veldor::escapeForLog(u"\u00e4\u20ac"_s + QString::fromUcs4(U"\U0001F600")),
              u"\u00e4\u20ac"_s + QString::fromUcs4(U"\U0001F600"))
        << "printable characters stay";
    EXPECT_EQ(veldor::escapeForLog(QString(QChar(0xD800)) + u"x"_s), uR"(\u{d800}x)"_s);
    EXPECT_EQ(veldor::escapeControls(u"a\\b\nc"_s), uR"(a\b\x0ac)"_s);
}

TEST(LogFileTest, EachEntryIsOneBoundedLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"log"_s);
    {
        veldor::Log log;
        QString error;
        ASSERT_TRUE(log.openFile(path, error)) << qPrintable(error);
        log.setLineLimit(300);
        log.write(u"first\nforged line\r"_s);
        log.write(QString(1000, u'x'));
        log.write(QString(1000, QChar(0xE4)));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // three entries and what follows the last newline
    EXPECT_TRUE(lines[0].endsWith(" first\\x0aforged line\\x0d"));
    for (int i = 1; i < 3; ++i) {
        EXPECT_LE(lines[i].size(), 300);
        EXPECT_TRUE(lines[i].contains(" ... [cut, ")) << lines[i].constData();
        EXPECT_TRUE(QString::fromUtf8(lines[i]).toUtf8() == lines[i]) << "cut between characters";
    }
}

// QProcess hands the child pipes, as a journal or `| tee` would.
TEST(LogStandardErrorTest, WithoutALogFileTheLinesGoThroughAPipe)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(u"data.json"_s);
    QFile file(data);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.write(testsupport::ServerProcess::standardData()) > 0);
    file.close();

    QProcess server;
    server.start(QString::fromUtf8(VELDOR_SERVER_PATH), {u"--data"_s, data, u"--port"_s, u"0"_s});
    ASSERT_TRUE(server.waitForStarted(5000)) << qPrintable(server.errorString());
    QByteArray announced;
    while (!announced.contains('\n') && server.waitForReadyRead(10000))
        announced += server.readAllStandardOutput();
    ASSERT_TRUE(announced.startsWith("listening on ")) << announced.constData();
    server.terminate();
    ASSERT_TRUE(server.waitForFinished(10000));

    const QByteArray standardError = server.readAllStandardError();
    const QList<QByteArray> lines = standardError.split('\n');
    ASSERT_EQ(lines.size(), 3) << standardError.constData(); // two entries and what follows the last newline
    EXPECT_TRUE(lines[0].contains(" listening on 127.0.0.1:")) << lines[0].constData();
    EXPECT_TRUE(lines[1].endsWith(" stopped")) << lines[1].constData();
}

TEST(OptionsParseTest, LimitsHaveDefaultsAndUnits)
{
    veldor::Options options;
    QString error;
    ASSERT_TRUE(veldor::parseOptions({u"--data"_s, u"d.json"_s}, options, error)) << qPrintable(error);
    EXPECT_EQ(options.limits.maxConnections, 64);
    EXPECT_EQ(options.limits.idleTimeout, std::chrono::seconds(600));
    EXPECT_GT(options.limits.maxGlobals, 0U);

    veldor::Options many;
    ASSERT_TRUE(veldor::parseOptions({u"--data"_s, u"d.json"_s, u"--licences"_s, u"100"_s, u"--max-globals"_s,
                                      u"2M"_s, u"--max-locals"_s, u"64k"_s, u"--max-request-ms"_s, u"250"_s},
                                     many, error))
        << qPrintable(error);
    EXPECT_EQ(many.limits.maxConnections, 116) << "room beyond the licences for clients still saying hello";
    EXPECT_EQ(many.limits.maxGlobals, 2U << 20);
    EXPECT_EQ(many.limits.maxLocals, 64U << 10);
    EXPECT_EQ(many.limits.maxRequestTime, std::chrono::milliseconds(250));

    for (const QStringList& bad : {QStringList{u"--idle-timeout"_s, u"0"_s},
                                   {u"--max-globals"_s, u"-1"_s},
                                   {u"--slice-ms"_s, u"x"_s},
                                   {u"--keepalive"_s},
                                   {u"--max-locals"_s, u"9999999G"_s},
                                   {u"--bogus"_s, u"1"_s}}) {
        veldor::Options o;
        EXPECT_FALSE(veldor::parseOptions(QStringList{u"--data"_s, u"d.json"_s} + bad, o, error))
            << qPrintable(bad.join(u' '));
        EXPECT_TRUE(error.contains(bad.front())) << qPrintable(error);
    }
}
