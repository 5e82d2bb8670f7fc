#pragma once

#include "platform/forms/forms.h"

#include <QList>
#include <QObject>
#include <QRegularExpression>
#include <QTest>

namespace formstest {

// The base of every suite here: clean seams for each test, and a box nobody answers fails the test
// instead of blocking it.
class Suite : public QObject
{
    Q_OBJECT

protected Q_SLOTS:
    void init()
    {
        forms::resetForTests();
        forms::MessageBoxes::setFailIfUnanswered(true);
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^forms::")));
    }
    void cleanup() { forms::resetForTests(); }
};

// Records every end request and throws, so endProgram does not return.
class EndRecorder final
{
public:
    EndRecorder()
    {
        forms::setEndProgramHandler([this](int code) {
            codes.append(code);
            throw forms::ProgramEnded(code);
        });
    }
    ~EndRecorder() { forms::setEndProgramHandler({}); }
    Q_DISABLE_COPY_MOVE(EndRecorder)

    QList<int> codes;
};

} // namespace formstest
