#include "fixture.h"
#include "suites.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

class ScreenTest final : public formstest::Suite
{
    Q_OBJECT

private Q_SLOTS:
    void hourglassDoesNotStack()
    {
        forms::setMousePointer(forms::Pointer::Hourglass);
        forms::setMousePointer(forms::Pointer::Hourglass);
        QCOMPARE(forms::mousePointer(), forms::Pointer::Hourglass);
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        forms::setMousePointer(forms::Pointer::Default);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        forms::setMousePointer(forms::Pointer::Hourglass);
        forms::resetForTests();
        QCOMPARE(forms::mousePointer(), forms::Pointer::Default);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void beepsAreCountedAndEventsRun()
    {
        forms::beep();
        forms::beep();
        QCOMPARE(forms::beepCount(), 2);
        forms::resetBeepCount();
        QCOMPARE(forms::beepCount(), 0);

        bool ran = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        forms::doEvents();
        QVERIFY(ran);
    }

    void twipsFollowTheLogicalDpi()
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY(screen != nullptr);
        QCOMPARE(forms::twipsToPixelsX(forms::TwipsPerInch), qRound(screen->logicalDotsPerInchX()));
        QCOMPARE(forms::twipsToPixelsY(forms::TwipsPerInch), qRound(screen->logicalDotsPerInchY()));
        if (screen->logicalDotsPerInchX() != 96 || screen->logicalDotsPerInchY() != 96)
            QSKIP("the layout figures need a 96 dpi screen (offscreen has one)");
        QCOMPARE(forms::twipsRect(120, 240, 3975, 1410), QRect(8, 16, 265, 94));
        // 15 twips per pixel: 7 rounds down, 8 up, symmetric below zero.
        QCOMPARE(forms::twipsToPixelsX(7), 0);
        QCOMPARE(forms::twipsToPixelsX(8), 1);
        QCOMPARE(forms::twipsToPixelsY(-8), -1);
        QCOMPARE(forms::pixelsToTwipsY(94), 1410);
    }
};

int runScreenTests(int argc, char** argv)
{
    ScreenTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screen.moc"
