#pragma once

#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace dialogs {

// Makes owner (or nobody) the owner of a top-level window and centres it on the owner (or screen).
void setOwner(QWidget& window, QWidget* owner);

// Controls placed as laid out, in twips (left, top, width, height), named by their control names.
QLabel* addLabel(QWidget* parent, const QString& name, const QString& text, int left, int top, int width,
                 int height, bool sizedToText);
// A text box that refuses characters the settings store cannot keep.
QLineEdit* addTextBox(QWidget* parent, const QString& name, int left, int top, int width, int height);
// A push button with a 16 x 16 picture beside its caption.
QPushButton* addPushButton(QWidget* parent, const QString& name, const QString& text, const QIcon& icon,
                           int left, int top, int width, int height);

} // namespace dialogs
