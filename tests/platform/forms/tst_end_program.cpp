#include "fixture.h"
#include "suites.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

class EndProgramTest final : public formstest::Suite
{
    Q_OBJECT

private Q_SLOTS:
    void handlerGetsTheCodeAndTheCallDoesNotReturn()
    {
        formstest::EndRecorder ended;
        QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, forms::endProgram(4));
        QVERIFY_THROWS_EXCEPTION(forms::ProgramEnded, forms::endProgram());
        QCOMPARE(ended.codes, (QList<int>{4, 0}));
    }

    // The default must end a real application at once, even inside a modal dialog, with buffered
    // output written.
    void defaultEndsTheProcessFromAModalDialog()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(EndProgramChildArgument)});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 3);
        QCOMPARE(child.readAllStandardOutput(), "buffered"_ba);
    }
};

int runEndProgramTests(int argc, char** argv)
{
    EndProgramTest test;
    return QTest::qExec(&test, argc, argv);
}

int runEndProgramChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow main;
    main.show();
    QDialog dialog(&main);
    QTimer::singleShot(0, &main, [&dialog] {
        QTimer::singleShot(0, &dialog, [&dialog] {
            if (!dialog.isVisible())
                std::fputs("not in the dialog ", stdout);
            // No newline: stays in the stdio buffer unless the end flushes it.
            std::fputs("buffered", stdout);
            forms::endProgram(3);
        });
        dialog.exec();
        std::fputs(" dialog returned", stdout);
    });
    const int code = QApplication::exec();
    std::fputs(" event loop returned", stdout);
    return code;
}

#include "tst_end_program.moc"
