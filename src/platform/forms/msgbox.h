#pragma once

#include "platform/forms/app_title.h"
#include "platform/forms/msgbox_types.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

class QMessageBox;

namespace forms {

// Shows a modal message box and returns the pressed button. GUI thread only.
Button MsgBox(const QString& text, Buttons buttons = Buttons::OkOnly, Icon icon = Icon::None,
              QStringView title = ApplicationTitle);

// Test seam. Every call of MsgBox is recorded, whoever answers it. Precedence: a queued answer (the box
// is not shown), then the answerer (the box is shown), then fail-if-unanswered (not shown), else the user.
namespace MessageBoxes {

void queueAnswer(Button answer);
qsizetype pendingAnswers();

QList<ShownMessage> log();
void clearLog();

// Instead of blocking a test on a box nobody will answer: record it, warn, return the first button.
void setFailIfUnanswered(bool fail);

// Shows the real box and lets the callback answer it once it is open. The callback runs inside the box's
// event loop, so it must not throw; empty switches it off.
using Answerer = std::function<Button(QMessageBox& box)>;
void setAnswerer(Answerer answerer);

// Drops queued answers, the log, the answerer and fail-if-unanswered.
void reset();

} // namespace MessageBoxes
} // namespace forms
