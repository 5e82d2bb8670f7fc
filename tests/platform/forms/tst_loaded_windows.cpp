#include "fixture.h"
#include "suites.h"

#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <memory>
#include <utility>

using namespace Qt::Literals::StringLiterals;

class LoadedWindowsTest final : public formstest::Suite
{
    Q_OBJECT

private Q_SLOTS:
    void listedInLoadOrderUntilDeleted()
    {
        QWidget first, third;
        auto second = std::make_unique<QWidget>();
        forms::registerWindow(&first);
        forms::registerWindow(second.get());
        forms::registerWindow(&third);
        forms::registerWindow(&first);
        QCOMPARE(forms::loadedWindows(), (QList<QWidget*>{&first, second.get(), &third}));
        second.reset();
        QCOMPARE(forms::loadedWindows(), (QList<QWidget*>{&first, &third}));
    }

    // What the shutdown routine does: unload newest first, from one snapshot of the list.
    void unloadNewestFirstRunsEachHandler()
    {
        QStringList unloaded;
        QWidget main, search;
        auto* detail = new QWidget(&main, Qt::Window);
        detail->setAttribute(Qt::WA_DeleteOnClose);
        const QPointer<QWidget> detailAlive(detail);
        for (const auto& [window, name] :
             {std::pair{&main, u"main"_s}, {&search, u"search"_s}, {detail, u"detail"_s}}) {
            forms::registerWindow(window, [&unloaded, label = name] { unloaded.append(label); });
            window->show();
        }

        const QList<QWidget*> snapshot = forms::loadedWindows();
        for (auto it = snapshot.crbegin(); it != snapshot.crend(); ++it)
            QVERIFY(forms::unloadWindow(*it));

        QCOMPARE(unloaded, (QStringList{u"detail"_s, u"search"_s, u"main"_s}));
        QVERIFY(forms::loadedWindows().isEmpty());
        QVERIFY(!main.isVisible());
        QVERIFY(!forms::unloadWindow(&main));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(detailAlive.isNull());
    }

    void handlerMayUnloadOthersAndAskForItself()
    {
        QWidget main, child;
        bool askedAgain = true;
        forms::registerWindow(&main, [&] {
            QVERIFY(forms::isLoaded(&main));
            forms::unloadWindow(&child);
            askedAgain = forms::unloadWindow(&main);
        });
        forms::registerWindow(&child);
        QVERIFY(forms::unloadWindow(&main));
        QVERIFY(!askedAgain);
        QVERIFY(forms::loadedWindows().isEmpty());
    }

    void handlerMayFailOrDeleteItsWindow()
    {
        auto window = std::make_unique<QWidget>();
        QWidget* const raw = window.get();
        bool fail = true;
        forms::registerWindow(raw, [&] {
            if (fail)
                throw forms::Error(91, u"Speichern fehlgeschlagen"_s);
            window.reset();
        });
        QVERIFY_THROWS_EXCEPTION(forms::Error, forms::unloadWindow(raw));
        QVERIFY(forms::isLoaded(raw));
        fail = false;
        QVERIFY(forms::unloadWindow(raw));
        QVERIFY(forms::loadedWindows().isEmpty());
    }
};

int runLoadedWindowTests(int argc, char** argv)
{
    LoadedWindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_loaded_windows.moc"
