// What a user sees of every window: the design font, German toolkit texts, readable figures and the
// navigation pictures.
#include "app/fm_start.h"
#include "dialogs/fm_pass.h"
#include "dialogs/fm_server.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_programmverlauf.h"
#include "dialogs/program_windows.h"
#include "platform/forms/design_font.h"
#include "platform/forms/msgbox.h"
#include "platform/forms/test_reset.h"

#include "registry_sandbox.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

QString withoutAccessKey(QString text)
{
    return text.replace(u"&&"_s, u"\x01"_s).remove(u'&').replace(u'\x01', u'&');
}

// Room a control's text has: its own width, less what a later control beside it covers.
int visibleWidth(const QWidget& control)
{
    int width = control.width();
    const QRect box = control.geometry();
    for (const QObject* object : control.parentWidget()->children()) {
        const auto* other = qobject_cast<const QWidget*>(object);
        if (other == nullptr || other == &control || !other->isVisibleTo(control.parentWidget()))
            continue;
        const QRect beside = other->geometry();
        const bool sameRow = beside.top() < box.bottom() && beside.bottom() > box.top();
        if (sameRow && beside.left() > box.left() && beside.left() < box.left() + width)
            width = beside.left() - box.left();
    }
    return width;
}

// Width the text needs in the control, with the margins the style keeps around it.
int neededWidth(const QWidget& control)
{
    const QFontMetrics metrics = control.fontMetrics();
    const QStyle* style = control.style();
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        if (label->textFormat() == Qt::RichText || label->text().contains(u'<'))
            return label->sizeHint().width();
        return metrics.horizontalAdvance(withoutAccessKey(label->text())) + 2 * label->frameWidth() +
               2 * label->margin() + label->indent() * (label->indent() > 0 ? 1 : 0);
    }
    if (const auto* box = qobject_cast<const QLineEdit*>(&control)) {
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
        const QMargins margins = box->textMargins();
        return metrics.horizontalAdvance(box->displayText()) + 2 * frame + 2 * 2 + margins.left() +
               margins.right();
    }
    const auto& button = static_cast<const QPushButton&>(control);
    const int icon = button.icon().isNull() ? 0 : button.iconSize().width() + 4;
    return metrics.horizontalAdvance(withoutAccessKey(button.text())) + icon +
           2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
}

double luminance(const QColor& colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

class LooksTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_registry.isValid(), qPrintable(m_registry.error()));
        forms::installDesignFont();
        QVERIFY2(forms::installGermanToolkitTexts(), "qtbase_de is not installed (qt6-translations-l10n)");
        dialogs::windows::install();
        auto main = std::make_unique<app::FMStart>(QString());
        m_main = main.get();
        dialogs::windows::adoptMainWindow(std::move(main));
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
    }

    void cleanupTestCase()
    {
        dialogs::windows::destroyAll();
        forms::resetForTests();
    }

    void everyWindowUsesTheDesignFont()
    {
        QVERIFY(QFontInfo(forms::designFont()).family().contains(u"Liberation Sans"_s));
        for (QWidget* window : windows())
            QCOMPARE(QFontInfo(window->font()).family(), QFontInfo(forms::designFont()).family());
    }

    // At 96 dpi, and again with a scale factor of 2 and a font dpi of 120 (the test runs twice).
    void everyTextFitsItsLaidOutBox()
    {
        QStringList cut;
        for (QWidget* window : windows()) {
            const QList<QWidget*> controls = window->findChildren<QWidget*>();
            for (QWidget* control : controls) {
                const bool text = qobject_cast<QLabel*>(control) || qobject_cast<QLineEdit*>(control) ||
                                  qobject_cast<QPushButton*>(control);
                if (!text || control->window() != window)
                    continue;
                if (const auto* button = qobject_cast<QPushButton*>(control);
                    button && button->text().isEmpty())
                    continue; // a picture button
                if (const auto* label = qobject_cast<QLabel*>(control); label && label->wordWrap())
                    continue;
                const int needed = neededWidth(*control);
                const int room = visibleWidth(*control);
                if (needed > room)
                    cut << u"%1.%2 needs %3 px, shows %4 px"_s
                               .arg(window->objectName(), control->objectName())
                               .arg(needed)
                               .arg(room);
            }
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u"; "_s)));
    }

    void toolkitTextsAreGerman()
    {
        QMessageBox box(QMessageBox::NoIcon, u"t"_s, u"?"_s, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(withoutAccessKey(box.button(QMessageBox::Yes)->text()), u"Ja"_s);
        QCOMPARE(withoutAccessKey(box.button(QMessageBox::No)->text()), u"Nein"_s);
        QCOMPARE(QKeySequence(Qt::CTRL | Qt::Key_F1).toString(QKeySequence::NativeText), u"Strg+F1"_s);
        QLineEdit edit;
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList actions;
        for (const QAction* action : menu->actions())
            actions << withoutAccessKey(action->text()).section(u'\t', 0, 0);
        QVERIFY2(actions.contains(u"Einfügen"_s), qPrintable(actions.join(u", "_s)));
    }

    void aQuestionIsAnsweredWithItsGermanAccessKey()
    {
        QTimer::singleShot(0, this, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                QApplication::setActiveWindow(box);
                QTest::keyClick(box, Qt::Key_J, Qt::AltModifier);
            }
        });
        // A key that did not answer must fail the test, not hang it: "No" closes the box then.
        QTimer::singleShot(5000, this, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::No)->click();
        });
        QCOMPARE(forms::MsgBox(u"Änderungen erlauben?"_s, forms::Buttons::YesNo), forms::Button::Yes);
    }

    void passwordShowsStars()
    {
        QLineEdit& password = dialogs::windows::fmPass().BPASSWORT();
        password.setText(u"geheim"_s);
        QCOMPARE(password.displayText(), u"******"_s);
    }

    void stockFiguresAreReadable()
    {
        for (const char* name : {"txt_Lagerstand", "txt_LagerHeute"}) {
            const auto* box = m_main->findChild<QLineEdit*>(QLatin1StringView(name));
            QVERIFY(box && !box->isEnabled() && box->focusPolicy() != Qt::TabFocus);
            QVERIFY(box->isReadOnly() || !box->isEnabled());
            const QPalette& palette = box->palette();
            const double ratio = contrast(palette.color(QPalette::Disabled, QPalette::Text),
                                          palette.color(QPalette::Disabled, QPalette::Base));
            QVERIFY2(ratio >= 4.5, qPrintable(u"contrast %1:1"_s.arg(ratio)));
        }
    }

    void navigationPicturesAndNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<int>("blackPixels");
        QTest::addColumn<bool>("pointsLeft");
        QTest::newRow("first") << u"cmdFirst"_s << u"Erster Datensatz"_s << 25 + 18 << true;
        QTest::newRow("previous") << u"cmdPrevious"_s << u"Vorheriger Datensatz"_s << 25 << true;
        QTest::newRow("next") << u"cmdNext"_s << u"Nächster Datensatz"_s << 25 << false;
        QTest::newRow("last") << u"cmdLast"_s << u"Letzter Datensatz"_s << 25 + 18 << false;
    }

    // Black glyphs on the button face; a triangle is 5 pixels wide and 9 high (25 pixels), a bar 2 by 9.
    void navigationPicturesAndNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, tip);
        QFETCH(int, blackPixels);
        QFETCH(bool, pointsLeft);
        const auto* button = m_main->findChild<QPushButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->toolTip(), tip);
        QCOMPARE(button->accessibleName(), tip);
        const QImage image =
            button->icon().pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(16, 16));
        int black = 0;
        int other = 0;
        QRect glyph;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 0)
                    continue;
                if (pixel == QColor(Qt::black)) {
                    ++black;
                    glyph |= QRect(x, y, 1, 1);
                } else {
                    ++other;
                }
            }
        }
        QCOMPARE(other, 0); // the grey is the mask: button face
        QCOMPARE(black, blackPixels);
        QCOMPARE(glyph.height(), 9);
        // The tip: the pixel of the middle row with nothing above or below it, scanned from the side the
        // triangle points to (a bar on that side is black above and below); the base lies 4 columns away.
        const auto blackAt = [&](int x, int y) { return image.pixelColor(x, y) == QColor(Qt::black); };
        const int middle = glyph.top() + 4;
        int tipX = -1;
        for (int step = 0; step < 16 && tipX < 0; ++step) {
            const int x = pointsLeft ? step : 15 - step;
            if (blackAt(x, middle) && !blackAt(x, middle - 1) && !blackAt(x, middle + 1))
                tipX = x;
        }
        QVERIFY2(tipX >= 0, "no tip in the middle row");
        const int base = pointsLeft ? tipX + 4 : tipX - 4;
        QVERIFY(blackAt(base, glyph.top()) && blackAt(base, glyph.bottom()));
    }

private:
    QList<QWidget*> windows()
    {
        frmAbout& about = dialogs::windows::about();
        about.showOwnedBy(m_main);
        dialogs::windows::programmverlauf().showOwnedBy(m_main);
        dialogs::windows::fmPass().show();
        dialogs::windows::fmServer().show();
        return {m_main, &dialogs::windows::fmPass(), &dialogs::windows::fmServer(), &about,
                &dialogs::windows::programmverlauf()};
    }

    testsupport::RegistrySandbox m_registry;
    app::FMStart* m_main = nullptr;
};

QTEST_MAIN(LooksTest)
#include "tst_looks.moc"
