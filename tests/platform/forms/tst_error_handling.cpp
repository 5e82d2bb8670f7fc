#include "fixture.h"
#include "platform/ado/ado_error.h"
#include "platform/objfactory/server_error.h"
#include "platform/wire/wire.h"
#include "registry/registry_error.h"
#include "suites.h"

#include <QTest>

#include <functional>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;
using forms::Button;
using forms::Icon;

using Raise = std::function<void()>;
Q_DECLARE_METATYPE(Raise)

namespace {

// Each layer's error and a foreign one, with the number and description the user is shown.
void addErrorRows()
{
    QTest::addColumn<Raise>("raise");
    QTest::addColumn<qint32>("number");
    QTest::addColumn<QString>("description");
    QTest::newRow("forms::Error") << Raise([] { throw forms::Error(3021, u"Kein Datensatz"_s, u"Lager"_s); })
                                  << 3021 << u"Kein Datensatz"_s;
    QTest::newRow("objfactory::Error") << Raise([] {
        throw objfactory::Error(wire::error::ConnectionLost, u"Verbindung zum Server verloren"_s);
    }) << wire::error::ConnectionLost << u"Verbindung zum Server verloren"_s;
    QTest::newRow("ado::Error from the driver") << Raise([] {
        throw ado::Error(ado::adErrProviderFailed, u"Tabelle »ARTIKEL« fehlt"_s, u"42S02"_s, 1146);
    }) << qint32(ado::adErrProviderFailed) << u"Tabelle »ARTIKEL« fehlt"_s;
    // The log line of what() names the routine; the user reads the description alone.
    QTest::newRow("registry::RegistryError") << Raise([] {
        throw registry::RegistryError(registry::code::UnknownRoot, "getRoot", "Unbekannter Hauptschlüssel");
    }) << registry::code::UnknownRoot << u"Unbekannter Hauptschlüssel"_s;
    QTest::newRow("std::exception, UTF-8")
        << Raise([] { throw std::runtime_error("Größe unzulässig"); }) << 5 << u"Größe unzulässig"_s;
}

// The runtime's box for an error: the bare description, OK, the application title.
forms::ShownMessage errorBox(const QString& description, Icon icon)
{
    return {description, u"Plenvaro"_s, icon, forms::Buttons::OkOnly, Button::Ok, forms::AnswerSource::Queue};
}

} // namespace

class ErrorHandlingTest final : public formstest::Suite
{
    Q_OBJECT

private Q_SLOTS:
    void describeGivesNumberAndDescription_data() { addErrorRows(); }
    void describeGivesNumberAndDescription()
    {
        QFETCH(Raise, raise);
        QFETCH(qint32, number);
        QFETCH(QString, description);
        try {
            raise();
            QFAIL("nothing raised");
        } catch (const std::exception& error) {
            const forms::ShownError shown = forms::describe(error);
            QCOMPARE(shown.number, number);
            QCOMPARE(shown.description, description);
        }
    }

    void unhandledShowsTheDescriptionAndEnds_data() { addErrorRows(); }
    void unhandledShowsTheDescriptionAndEnds()
    {
        QFETCH(Raise, raise);
        QFETCH(QString, description);
        formstest::EndRecorder ended;
        forms::runUnhandled([] {});
        QVERIFY(ended.codes.isEmpty());
        forms::MessageBoxes::queueAnswer(Button::Ok);
        QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, forms::runUnhandled(raise));
        QCOMPARE(ended.codes, QList<int>{1});
        QCOMPARE(forms::MessageBoxes::log(), QList{errorBox(description, Icon::None)});
    }

    void reportedShowsAndContinues_data() { addErrorRows(); }
    void reportedShowsAndContinues()
    {
        QFETCH(Raise, raise);
        QFETCH(QString, description);
        QVERIFY(forms::runReported([] {}));
        forms::MessageBoxes::queueAnswer(Button::Ok);
        QVERIFY(!forms::runReported(raise, Icon::Exclamation));
        QCOMPARE(forms::MessageBoxes::log(), QList{errorBox(description, Icon::Exclamation)});
    }

    void ignoredErrorsAreSwallowed_data() { addErrorRows(); }
    void ignoredErrorsAreSwallowed()
    {
        QFETCH(Raise, raise);
        QVERIFY(!forms::ignoreErrors(raise));
        QVERIFY(forms::ignoreErrors([] {}));
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void programEndedPassesThroughAllStyles()
    {
        formstest::EndRecorder ended;
        const Raise end = [] { forms::endProgram(7); };
        QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, forms::runUnhandled(end));
        QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, forms::runReported(end));
        QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, forms::ignoreErrors(end));
        QCOMPARE(ended.codes, (QList<int>{7, 7, 7}));
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }
};

int runErrorHandlingTests(int argc, char** argv)
{
    ErrorHandlingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_error_handling.moc"
