#include "platform/forms/msgbox.h"

#include "platform/forms/loaded_windows.h"
#include "platform/forms/message_box_widget.h"
#include "platform/forms/program_log.h"
#include "platform/forms/wait_note.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>
#include <QScopeGuard>
#include <QTimer>

namespace forms {
namespace {

struct Seam
{
    QQueue<Button> answers;
    QList<ShownMessage> log;
    MessageBoxes::Answerer answerer;
    bool failIfUnanswered = false;
};

Seam& seam()
{
    static Seam instance;
    return instance;
}

QString shownText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString describe(const ShownMessage& message)
{
    return QStringLiteral("\"%1\" (%2)").arg(message.text, message.title);
}

// An hourglass over the box would tell the user to wait instead of to answer.
class ArrowWhileShown final
{
public:
    ArrowWhileShown() : m_active(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_active)
            QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~ArrowWhileShown()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
    }
    Q_DISABLE_COPY_MOVE(ArrowWhileShown)

private:
    bool m_active;
};

// The window the box belongs to: the one the user works in, which opened it. While no window is active
// (the focus between windows, a window manager still deciding) that is the newest one on screen.
QWidget* ownerOfNewBox()
{
    if (QWidget* active = detail::WaitNote::ownerInsteadOf(QApplication::activeWindow()))
        return active;
    const QList<QWidget*> windows = loadedWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        if ((*it)->isVisible() && !(*it)->isMinimized())
            return *it;
    }
    return nullptr;
}

Button exec(const ShownMessage& message, const MessageBoxes::Answerer& answerer)
{
    const ArrowWhileShown arrow;
    const QPointer<QWidget> owner = ownerOfNewBox();
    const auto box = detail::createMessageBox(message, owner);
    // The focus goes back to the window the box belongs to, not wherever the window manager puts it.
    const auto giveFocusBack = qScopeGuard([&owner] {
        if (owner && owner->isVisible()) {
            owner->raise();
            owner->activateWindow();
        }
    });
    if (answerer) {
        QMessageBox* shown = box.get();
        QTimer::singleShot(0, shown, [shown, answerer, buttons = message.buttons] {
            const Button answer = answerer(*shown);
            if (!detail::offers(buttons, answer))
                qWarning("forms::MsgBox: the answerer chose a button the box does not have");
            if (QAbstractButton* button = shown->button(detail::standardButton(answer)))
                button->click();
            else
                shown->reject();
        });
    }
    box->exec();
    return detail::answerOf(*box, message.buttons);
}

} // namespace

Button MsgBox(const QString& text, Buttons buttons, Icon icon, QStringView title)
{
    Seam& state = seam();
    ShownMessage message{shownText(text), title.toString(), icon, buttons};
    logEntry(messagesArea(), message.text.simplified(), message.title);

    if (!state.answers.isEmpty()) {
        message.answer = state.answers.dequeue();
        message.source = AnswerSource::Queue;
        if (!detail::offers(buttons, message.answer))
            qWarning("forms::MsgBox: queued answer does not fit %s", qUtf8Printable(describe(message)));
    } else if (state.answerer) {
        // A copy: the callback may replace the answerer while its box is open.
        const MessageBoxes::Answerer answerer = state.answerer;
        message.answer = exec(message, answerer);
        message.source = AnswerSource::Answerer;
    } else if (state.failIfUnanswered) {
        message.answer = detail::defaultButton(buttons);
        message.source = AnswerSource::Unanswered;
        qWarning("forms::MsgBox: no answer queued for %s", qUtf8Printable(describe(message)));
    } else {
        message.answer = exec(message, {});
    }
    state.log.append(message);
    return message.answer;
}

namespace MessageBoxes {

void queueAnswer(Button answer)
{
    seam().answers.enqueue(answer);
}

qsizetype pendingAnswers()
{
    return seam().answers.size();
}

QList<ShownMessage> log()
{
    return seam().log;
}

void clearLog()
{
    seam().log.clear();
}

void setFailIfUnanswered(bool fail)
{
    seam().failIfUnanswered = fail;
}

void setAnswerer(Answerer answerer)
{
    seam().answerer = std::move(answerer);
}

void reset()
{
    seam() = Seam{};
}

} // namespace MessageBoxes
} // namespace forms
