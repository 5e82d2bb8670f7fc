#include "modal_driver.h"

#include <QApplication>
#include <QPointer>

namespace testsupport {

ModalDriver::ModalDriver()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
    m_timer.start();
}

void ModalDriver::on(const QString& objectName, Action action)
{
    m_actions.insert(objectName, std::move(action));
}

void ModalDriver::poll()
{
    m_handled.removeIf([](const QPointer<QWidget>& w) { return !w || !w->isVisible(); });
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || m_handled.contains(modal))
        return;
    m_handled.append(modal);
    const QString name = modal->objectName();
    if (qEnvironmentVariableIsSet("MODAL_DRIVER_DEBUG"))
        qDebug("modal driver: %s (%s)", qPrintable(name), modal->metaObject()->className());
    const int showing = ++m_showings[name];
    const auto it = m_actions.constFind(name);
    if (it == m_actions.constEnd())
        return;
    // Act from an event of its own: a timer does not fire again while its own slot runs, and the
    // action may start a nested loop (another modal window) that must be driven too.
    QTimer::singleShot(0, this, [action = *it, window = QPointer<QWidget>(modal), showing] {
        if (window)
            action(*window, showing);
    });
}

} // namespace testsupport
