#include "platform/forms/wait_note.h"

#include "platform/forms/app_title.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace forms::detail {
namespace {

// Gone at the next turn of the event loop, unless the next wait of the same operation (a login is
// several round trips) takes it up before.
constexpr int LingerMs = 0;

QPointer<WaitNote>& note()
{
    static QPointer<WaitNote> instance;
    return instance;
}

} // namespace

WaitNote::WaitNote(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"frmWarten"_s);
    setWindowTitle(ApplicationTitle.toString() + u": Bitte warten"_s);
    setWindowModality(Qt::ApplicationModal);
    m_text = new QLabel(this);
    m_text->setObjectName(u"lblWarten"_s);
    m_text->setTextFormat(Qt::PlainText);
    m_cancel = new QPushButton(u"Abbrechen"_s, this);
    m_cancel->setObjectName(u"cmdAbbrechen"_s);
    m_cancel->setAutoDefault(true);
    m_cancel->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_cancel, &QPushButton::clicked, this, &WaitNote::cancel);
    m_lingering.setSingleShot(true);
    m_lingering.setInterval(LingerMs);
    // Not close(): for a dialog that means Escape, which cancels.
    connect(&m_lingering, &QTimer::timeout, this, &QWidget::hide);
}

WaitNote& WaitNote::show(const QString& what, std::function<void()> onCancel)
{
    if (!note())
        note() = new WaitNote(QApplication::activeWindow());
    WaitNote& n = *note();
    n.m_lingering.stop();
    n.m_text->setText(what);
    n.m_onCancel = std::move(onCancel);
    n.m_cancel->setEnabled(true);
    if (!n.isVisible()) {
        n.adjustSize();
        const QWidget* owner = n.parentWidget();
        const QRect area = owner != nullptr        ? owner->frameGeometry()
                           : n.screen() != nullptr ? n.screen()->availableGeometry()
                                                   : QRect();
        if (area.isValid())
            n.move(area.center() - QPoint(n.width() / 2, n.height() / 2));
        n.QDialog::show();
        n.raise();
        n.activateWindow();
    }
    return n;
}

void WaitNote::release()
{
    if (note()) {
        note()->m_onCancel = nullptr;
        note()->m_lingering.start();
    }
}

WaitNote* WaitNote::current()
{
    return note() && note()->isVisible() ? note().data() : nullptr;
}

QWidget* WaitNote::ownerInsteadOf(QWidget* window)
{
    if (window == nullptr || window != current())
        return window;
    QWidget* owner = note()->parentWidget();
    note()->m_lingering.stop();
    note()->hide();
    return owner;
}

QString WaitNote::text() const
{
    return m_text->text();
}

void WaitNote::reject()
{
    // Escape and the close button mean what Abbrechen means; the note goes when the wait is over.
    cancel();
}

void WaitNote::cancel()
{
    if (!m_onCancel)
        return;
    m_cancel->setEnabled(false);
    m_text->setText(m_text->text() + u"\nwird abgebrochen ..."_s);
    const auto onCancel = std::exchange(m_onCancel, nullptr);
    onCancel();
}

} // namespace forms::detail
