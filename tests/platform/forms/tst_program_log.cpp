#include "fixture.h"
#include "suites.h"

#include "platform/forms/program_log.h"

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Logged
{
    QByteArray category;
    QString message;
};

QList<Logged>& logged()
{
    static QList<Logged> messages;
    return messages;
}

void record(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    logged().append({context.category, message});
}

} // namespace

class ProgramLogTest final : public formstest::Suite
{
    Q_OBJECT

private Q_SLOTS:
    // A terminal gets each entry under its area's own name; the log window names the part in German.
    void terminalKeepsTheAreaTheWindowGetsTheGermanPart_data()
    {
        QTest::addColumn<QByteArray>("category");
        QTest::addColumn<QString>("part");
        QTest::newRow("session") << QByteArray("plenvaro.session") << u"Sitzung"_s;
        QTest::newRow("articles") << QByteArray("plenvaro.articles") << u"Artikelliste"_s;
        QTest::newRow("stock") << QByteArray("plenvaro.stock") << u"Lagerstand"_s;
        QTest::newRow("messages") << QByteArray(forms::messagesArea().categoryName()) << u"Meldungen"_s;
        QTest::newRow("an area without a German name") << QByteArray("plenvaro.suche") << u"suche"_s;
    }

    void terminalKeepsTheAreaTheWindowGetsTheGermanPart()
    {
        QFETCH(QByteArray, category);
        QFETCH(QString, part);
        const QLoggingCategory area(category.constData());
        logged().clear();
        const QtMessageHandler previous = qInstallMessageHandler(record);
        forms::logEntry(area, u"Lagerstand abgefragt"_s, u"Artikel 1\tund mehr"_s);
        qInstallMessageHandler(previous);

        QCOMPARE(logged().size(), 1);
        QCOMPARE(logged().first().category, category);
        QCOMPARE(logged().first().message, u"Lagerstand abgefragt\tArtikel 1\tund mehr"_s);
        const QMessageLogContext context(nullptr, 0, nullptr, category.constData());
        const std::optional<forms::LogEntry> entry =
            forms::programLogEntry(context, logged().first().message);
        QVERIFY(entry.has_value());
        QCOMPARE(entry->area, part);
        QCOMPARE(entry->text, u"Lagerstand abgefragt"_s);
        QCOMPARE(entry->parameter, u"Artikel 1\tund mehr"_s);
    }

    void othersMessagesAreNoEntries()
    {
        for (const char* category : {"qt.widgets.painting", "default", "plenvaro", "plenvarox.session"}) {
            const QMessageLogContext context(nullptr, 0, nullptr, category);
            QVERIFY2(!forms::programLogEntry(context, u"Text"_s).has_value(), category);
        }
        QVERIFY(!forms::programLogEntry(QMessageLogContext(), u"Text"_s).has_value());
    }
};

int runProgramLogTests(int argc, char** argv)
{
    ProgramLogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_program_log.moc"
