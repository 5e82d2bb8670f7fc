#pragma once

// The server's stored data: classes with their objects and properties, and the globals.
// Class, property and method names are matched without regard to case, as late binding does;
// object ids are exact texts.

#include "interpreter.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace veldor {

using PropertyValue = std::optional<QString>; // no value: a property stored as null

struct StoredObject
{
    // Upper-cased property name -> value. The stored spelling is kept in the class's property list.
    std::map<QString, PropertyValue> properties;
};

struct ServerClass
{
    QString name;                             // as stored, e.g. "VD.ParPersEdv"
    std::map<QString, QString> propertyNames; // upper-cased -> stored spelling, over all objects
    std::map<QString, StoredObject> objects;  // by id
    bool hasXecute = false;                   // the command-execution class
};

class Database final
{
public:
    Database();

    ServerClass* findClass(const QString& name);
    ServerClass& addClass(const QString& name);
    void addPropertyName(ServerClass& cls, const QString& name);
    // No class or property has a longer name: a longer one is refused without upper-casing it,
    // which for a client's megabyte would cost more than its request may.
    qsizetype longestName() const { return m_longestName; }

    m::Variables& globals() { return m_globals; }
    // The objects' memory counts against the globals' limit: all that is stored shares it. Throws
    // <STORE> when bytes more would pass it.
    void chargeObjects(std::size_t bytes) { m_globals.reserveBeside(bytes); }

private:
    std::map<QString, ServerClass> m_classes; // by upper-cased name
    m::Variables m_globals{"globals"};
    qsizetype m_longestName = 0;
};

inline constexpr auto WindowsClass = "VD.Windows";

} // namespace veldor
