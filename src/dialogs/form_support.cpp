#include "dialogs/form_support.h"

#include "dialogs/ansi_validator.h"
#include "platform/forms/twips.h"

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace dialogs {

void setOwner(QWidget& window, QWidget* owner)
{
    // Ownership in the window system's sense only: kept above and centred on its owner, but never
    // a Qt child, so the owner's destruction cannot take the one instance with it.
    window.winId(); // make sure there is a native window to attach
    QWindow* ownerWindow = owner ? owner->window()->windowHandle() : nullptr;
    window.windowHandle()->setTransientParent(ownerWindow);
    const QRect area = owner ? owner->window()->frameGeometry() : window.screen()->availableGeometry();
    QRect frame = window.frameGeometry();
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
}

namespace {

QWidget* make(QWidget& form, const Control& row)
{
    const QString text = row.text.toString();
    switch (row.kind) {
    case ControlKind::Label:
    case ControlKind::SizedLabel:
    case ControlKind::Link: {
        auto* label = new QLabel(&form);
        // A label's text is shown as written, even when it looks like markup; a link's is markup.
        const bool link = row.kind == ControlKind::Link;
        label->setTextFormat(link ? Qt::RichText : Qt::PlainText);
        label->setText(text);
        if (link)
            label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        if (row.flags.testFlag(ControlFlag::WordWrap)) {
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
        }
        return label;
    }
    case ControlKind::Picture: {
        auto* picture = new QLabel(&form);
        picture->setAlignment(Qt::AlignCenter);
        picture->setScaledContents(row.flags.testFlag(ControlFlag::FillBox));
        return picture;
    }
    case ControlKind::Bar: {
        auto* bar = new QFrame(&form);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Window, QColor::fromString(text));
        bar->setPalette(palette);
        bar->setAutoFillBackground(true);
        return bar;
    }
    case ControlKind::TextBox:
    case ControlKind::PasswordBox:
    case ControlKind::LockedTextBox: {
        auto* box = new QLineEdit(text, &form);
        box->setValidator(new AnsiValidator(box));
        if (row.maxLength > 0)
            box->setMaxLength(row.maxLength);
        if (row.kind == ControlKind::PasswordBox) {
            box->setEchoMode(QLineEdit::Password);
            box->setStyleSheet(u"lineedit-password-character: 42"_s); // "*", not the style's bullet
        }
        if (row.kind == ControlKind::LockedTextBox) {
            box->setEnabled(false);
            QPalette palette = box->palette();
            for (const QPalette::ColorGroup group :
                 {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Button));
            box->setPalette(palette);
        }
        return box;
    }
    case ControlKind::PushButton:
    case ControlKind::DefaultButton:
    case ControlKind::TwoStateButton: {
        auto* button = new QPushButton(row.picture ? row.picture() : QIcon(), text, &form);
        button->setIconSize(QSize(16, 16));
        button->setAutoDefault(true); // Enter presses the focused button; elsewhere the default one
        button->setDefault(row.kind == ControlKind::DefaultButton);
        if (row.kind == ControlKind::TwoStateButton) {
            button->setCheckable(true);
            button->setChecked(true);
        }
        return button;
    }
    }
    return nullptr;
}

// The stand-in for the design font is a little wider than the original: a label whose text needs more
// than its laid-out width takes the free room beside it, up to the next control on its row.
void widenToText(QLabel& label)
{
    // Wrapping labels take more lines instead, and links and pictures keep their boxes.
    if (label.wordWrap() || label.textFormat() != Qt::PlainText)
        return;
    const int needed = label.sizeHint().width();
    if (needed <= label.width())
        return;
    int room = needed;
    const QRect box = label.geometry();
    for (const QObject* object : label.parentWidget()->children()) {
        const auto* other = qobject_cast<const QWidget*>(object);
        if (other == nullptr || other == &label)
            continue;
        const QRect beside = other->geometry();
        const bool sameRow = beside.top() <= box.bottom() && beside.bottom() >= box.top();
        if (sameRow && beside.left() >= box.right())
            room = std::min(room, beside.left() - box.left());
    }
    label.resize(std::max(label.width(), room), label.height());
}

} // namespace

QList<QWidget*> placeControls(QWidget& form, std::initializer_list<Control> table)
{
    QList<QWidget*> controls;
    QMap<int, QWidget*> byTabIndex;
    for (const Control& row : table) {
        QWidget* control = make(form, row);
        control->setObjectName(row.name.toString());
        control->setGeometry(forms::twipsRect(row.left, row.top, row.width, row.height));
        if (row.kind == ControlKind::SizedLabel)
            control->adjustSize();
        if (row.tabIndex >= 0)
            byTabIndex.insert(row.tabIndex, control);
        controls.append(control);
    }
    for (QWidget* control : controls) {
        if (auto* label = qobject_cast<QLabel*>(control))
            widenToText(*label);
    }
    const QList<QWidget*> order = byTabIndex.values();
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    return controls;
}

} // namespace dialogs
