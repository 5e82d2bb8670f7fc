#include "database.h"

namespace veldor {

Database::Database()
{
    addClass(QString::fromLatin1(WindowsClass)).hasXecute = true;
}

ServerClass* Database::findClass(const QString& name)
{
    const auto it = m_classes.find(name.toUpper());
    return it == m_classes.end() ? nullptr : &it->second;
}

ServerClass& Database::addClass(const QString& name)
{
    ServerClass& cls = m_classes[name.toUpper()];
    if (cls.name.isEmpty())
        cls.name = name;
    return cls;
}

} // namespace veldor
