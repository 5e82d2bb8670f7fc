#include "database.h"

#include <algorithm>

namespace veldor {

Database::Database()
{
    addClass(QString::fromLatin1(WindowsClass)).hasXecute = true;
}

ServerClass* Database::findClass(const QString& name)
{
    if (name.size() > m_longestName)
        return nullptr;
    const auto it = m_classes.find(name.toUpper());
    return it == m_classes.end() ? nullptr : &it->second;
}

ServerClass& Database::addClass(const QString& name)
{
    ServerClass& cls = m_classes[name.toUpper()];
    if (cls.name.isEmpty())
        cls.name = name;
    m_longestName = std::max(m_longestName, name.size());
    return cls;
}

void Database::addPropertyName(ServerClass& cls, const QString& name)
{
    cls.propertyNames.try_emplace(name.toUpper(), name);
    m_longestName = std::max(m_longestName, name.size());
}

} // namespace veldor
