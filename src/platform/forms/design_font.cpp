#include "platform/forms/design_font.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

namespace forms {

QFont designFont()
{
    QFont font(DesignFontFamily.toString());
    font.setPointSizeF(DesignFontPoints);
    return font;
}

void installDesignFont()
{
    QFont::insertSubstitutions(DesignFontFamily.toString(), {u"Liberation Sans"_s, u"Arimo"_s, u"Arial"_s,
                                                             u"Helvetica"_s, u"DejaVu Sans"_s});
    QApplication::setFont(designFont());
}

bool installGermanToolkitTexts()
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), u"qtbase"_s, u"_"_s,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.release()); // owned by the application object
    return true;
}

} // namespace forms
