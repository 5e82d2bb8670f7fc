#pragma once

#include "platform/forms/forms.h"

#include <QList>
#include <QRegularExpression>
#include <QTest>

namespace formstest {

// Clean seams for every test; a box nobody answers fails the test instead of blocking it.
inline void startTest()
{
    forms::resetForTests();
    forms::MessageBoxes::setFailIfUnanswered(true);
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^forms::")));
}

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
