#pragma once

#include <QString>

namespace forms {

// The numeric values are those of the classic call, so ported comparisons and stored values keep working.
enum class Buttons
{
    OkOnly = 0,
    YesNo = 4,
};

enum class Icon
{
    None = 0,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
};

enum class Button
{
    Ok = 1,
    Yes = 6,
    No = 7,
};

// Who gave the answer to a recorded box.
enum class AnswerSource
{
    Queue,      // a queued test answer; nothing was shown
    Answerer,   // shown, and answered by the test callback
    Unanswered, // fail-if-unanswered was on and nothing was queued: nothing was shown
    User,       // shown and answered by the user
};

// One box the program asked for, as the user sees it.
struct ShownMessage
{
    QString text; // line breaks as shown: CR LF and a lone CR are LF here
    QString title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::OkOnly;
    Button answer = Button::Ok;
    AnswerSource source = AnswerSource::User;

    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

} // namespace forms
