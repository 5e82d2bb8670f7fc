#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;
class QPushButton;

namespace forms::detail {

// The small window that says what the program waits for and lets the user stop waiting. One note
// serves consecutive waits (a login is several round trips), so it does not flicker between them.
class WaitNote final : public QDialog
{
    Q_OBJECT

public:
    // The note of the current wait, made on first use.
    static WaitNote& show(const QString& what, std::function<void()> onCancel);
    // Nothing is awaited any more: the note goes unless another wait takes it up soon.
    static void release();
    // The note on screen, or null.
    static WaitNote* current();
    // The window a new window should belong to when window (the active one) would be chosen: never the
    // note, which goes then.
    static QWidget* ownerInsteadOf(QWidget* window);

    QPushButton& cancelButton() const { return *m_cancel; }
    QString text() const;

protected:
    void reject() override;

private:
    explicit WaitNote(QWidget* owner);
    void cancel();

    QLabel* m_text;
    QPushButton* m_cancel;
    std::function<void()> m_onCancel;
    QTimer m_lingering;
};

} // namespace forms::detail
