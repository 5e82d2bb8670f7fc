#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The program's pictures, drawn in code so that no image files have to ship. They need the application
// object (QGuiApplication) to exist.
namespace pictures {

// A shelf of stock with the bonus star, for window icons and the about box (16 to 48 pixels).
QIcon programIcon();
// The same drawn for any square size, for the desktop's icon theme (which wants up to 256 pixels).
QPixmap programIconPixmap(int size);

// The maker's logo and the product picture of the about box, drawn for a box of the given pixel size.
QPixmap makerLogo(QSize size);
QPixmap productPicture(QSize size);

// Button pictures: 16 x 16, with a 32 x 32 form for high-density screens.
QIcon buttonLogin();
QIcon buttonServer();
QIcon buttonCancel();
QIcon buttonEdit();
QIcon buttonBack();

// Record navigation: first, previous, next, last.
QIcon navFirst();
QIcon navPrevious();
QIcon navNext();
QIcon navLast();

} // namespace pictures
