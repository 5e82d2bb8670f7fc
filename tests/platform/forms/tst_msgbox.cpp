#include "fixture.h"
#include "suites.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using forms::AnswerSource;
using forms::Button;
using forms::Buttons;
using forms::Icon;

Q_DECLARE_METATYPE(forms::Icon)
Q_DECLARE_METATYPE(forms::Buttons)
Q_DECLARE_METATYPE(forms::Button)

class MsgBoxTest final : public formstest::Suite
{
    Q_OBJECT

private Q_SLOTS:
    void queuedAnswersAreReturnedInOrderAndLogged()
    {
        forms::MessageBoxes::queueAnswer(Button::No);
        forms::MessageBoxes::queueAnswer(Button::Yes);
        QCOMPARE(forms::MsgBox(u"Löschen?"_s, Buttons::YesNo, Icon::Question, u"Artikel"_s), Button::No);
        QCOMPARE(forms::MsgBox(u"Zeile 1\r\nZeile 2\rZeile 3"_s, Buttons::YesNo), Button::Yes);
        QCOMPARE(forms::MessageBoxes::pendingAnswers(), 0);

        const QList<forms::ShownMessage> expected{
            {u"Löschen?"_s, u"Artikel"_s, Icon::Question, Buttons::YesNo, Button::No, AnswerSource::Queue},
            {u"Zeile 1\nZeile 2\nZeile 3"_s, u"Plenvaro"_s, Icon::None, Buttons::YesNo, Button::Yes,
             AnswerSource::Queue},
        };
        QCOMPARE(forms::MessageBoxes::log(), expected);
        forms::MessageBoxes::clearLog();
        QVERIFY(forms::MessageBoxes::log().isEmpty());
    }

    void unansweredBoxIsRecordedAndGetsTheFirstButton()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"no answer queued for \"Weiter\\?\""_s));
        QCOMPARE(forms::MsgBox(u"Weiter?"_s, Buttons::YesNo), Button::Yes);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"no answer queued"_s));
        QCOMPARE(forms::MsgBox(u"Fertig"_s), Button::Ok);
        QCOMPARE(forms::MessageBoxes::log().size(), 2);
        QCOMPARE(forms::MessageBoxes::log().constFirst().source, AnswerSource::Unanswered);
    }

    void shownBoxMatchesTheCall_data()
    {
        QTest::addColumn<Icon>("icon");
        QTest::addColumn<Buttons>("buttons");
        QTest::addColumn<Button>("answer");
        QTest::addColumn<int>("qtIcon");
        QTest::addColumn<int>("qtButtons");
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        QTest::newRow("exclamation") << Icon::Exclamation << Buttons::YesNo << Button::Yes
                                     << int(QMessageBox::Warning) << yesNo;
        QTest::newRow("question") << Icon::Question << Buttons::YesNo << Button::No
                                  << int(QMessageBox::Question) << yesNo;
        QTest::newRow("critical") << Icon::Critical << Buttons::OkOnly << Button::Ok
                                  << int(QMessageBox::Critical) << int(QMessageBox::Ok);
    }

    // The real box, answered by the test once it is open.
    void shownBoxMatchesTheCall()
    {
        QFETCH(Icon, icon);
        QFETCH(Buttons, buttons);
        QFETCH(Button, answer);
        QString seen;
        forms::MessageBoxes::setAnswerer([&](QMessageBox& box) {
            seen = u"%1|%2|%3|%4|%5|%6"_s.arg(box.text(), box.windowTitle())
                       .arg(int(box.icon()))
                       .arg(int(box.standardButtons()))
                       .arg(int(box.isVisible() && box.windowModality() == Qt::ApplicationModal))
                       .arg(int(box.textFormat() == Qt::PlainText));
            return answer;
        });

        QCOMPARE(forms::MsgBox(u"Menge <b>0</b>\r\nprüfen"_s, buttons, icon), answer);
        QFETCH(int, qtIcon);
        QFETCH(int, qtButtons);
        QCOMPARE(seen, u"Menge <b>0</b>\nprüfen|Plenvaro|%1|%2|1|1"_s.arg(qtIcon).arg(qtButtons));
        QCOMPARE(forms::MessageBoxes::log().value(0).source, AnswerSource::Answerer);
    }

    void shownBoxHasAnArrowDuringTheHourglass()
    {
        forms::setMousePointer(forms::Pointer::Hourglass);
        Qt::CursorShape seen = Qt::WaitCursor;
        forms::MessageBoxes::setAnswerer([&seen](QMessageBox&) {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            seen = cursor != nullptr ? cursor->shape() : Qt::BlankCursor;
            return Button::Ok;
        });
        forms::MsgBox(u"Bitte warten"_s);
        QCOMPARE(seen, Qt::ArrowCursor);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
};

int runMessageBoxTests(int argc, char** argv)
{
    MsgBoxTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_msgbox.moc"
