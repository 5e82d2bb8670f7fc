#include "datafile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

using namespace Qt::Literals::StringLiterals;

namespace veldor {
namespace {

QString quoted(const QString& s)
{
    return u'"' + s + u'"';
}

QString typeName(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return u"null"_s;
    case QJsonValue::Bool:
        return u"a boolean"_s;
    case QJsonValue::Double:
        return u"a number"_s;
    case QJsonValue::String:
        return u"a string"_s;
    case QJsonValue::Array:
        return u"an array"_s;
    case QJsonValue::Object:
        return u"an object"_s;
    case QJsonValue::Undefined:
        break;
    }
    return u"nothing"_s;
}

// Line and column of a byte offset, for syntax errors.
QString position(const QByteArray& json, int offset)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < offset && i < json.size(); ++i) {
        if (json.at(i) == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return u"line %1, column %2"_s.arg(line).arg(column);
}

class Loader final
{
public:
    Loader(const QDate& today, Database& db) : m_today(today.toString(u"yyMMdd"_s)), m_db(db) {}

    bool load(const QJsonObject& root)
    {
        for (auto it = root.begin(); it != root.end(); ++it) {
            if (it.key() != u"objects"_s && it.key() != u"globals"_s)
                return fail(it.key(), u"unknown field (expected \"objects\" or \"globals\")"_s);
        }
        return loadObjects(root.value(u"objects"_s)) && loadGlobals(root.value(u"globals"_s));
    }

    QString error;

private:
    bool fail(const QString& field, const QString& what)
    {
        error = u"field %1: %2"_s.arg(field, what);
        return false;
    }

    bool expectObject(const QString& field, const QJsonValue& v)
    {
        if (v.isObject())
            return true;
        return fail(field, u"expected an object, found %1"_s.arg(typeName(v)));
    }

    bool loadObjects(const QJsonValue& objects)
    {
        if (objects.isUndefined())
            return true;
        if (!expectObject(u"objects"_s, objects))
            return false;
        const QJsonObject classes = objects.toObject();
        for (auto c = classes.begin(); c != classes.end(); ++c) {
            const QString classField = u"objects."_s + quoted(c.key());
            if (c.key().trimmed().isEmpty())
                return fail(classField, u"empty class name"_s);
            if (m_db.findClass(c.key()) && m_db.findClass(c.key())->name != c.key())
                return fail(classField, u"class defined twice (names differ only in case)"_s);
            if (!expectObject(classField, c.value()))
                return false;
            ServerClass& cls = m_db.addClass(c.key());
            const QJsonObject ids = c.value().toObject();
            for (auto o = ids.begin(); o != ids.end(); ++o) {
                if (!loadObject(cls, classField + u'.' + quoted(o.key()), o.key(), o.value()))
                    return false;
            }
        }
        return true;
    }

    bool loadObject(ServerClass& cls, const QString& field, const QString& id, const QJsonValue& value)
    {
        if (id.isEmpty())
            return fail(field, u"empty object id"_s);
        if (!expectObject(field, value))
            return false;
        StoredObject& object = cls.objects[id];
        const QJsonObject props = value.toObject();
        for (auto p = props.begin(); p != props.end(); ++p) {
            const QString propField = field + u'.' + quoted(p.key());
            const QString upper = p.key().toUpper();
            if (p.key().isEmpty())
                return fail(propField, u"empty property name"_s);
            if (object.properties.count(upper))
                return fail(propField, u"property defined twice (names differ only in case)"_s);
            if (p.value().isString())
                object.properties[upper] = p.value().toString();
            else if (p.value().isNull())
                object.properties[upper] = std::nullopt;
            else
                return fail(propField, u"expected a string or null, found %1"_s.arg(typeName(p.value())));
            const auto known = cls.propertyNames.find(upper);
            if (known == cls.propertyNames.end())
                cls.propertyNames[upper] = p.key();
        }
        return true;
    }

    bool loadGlobals(const QJsonValue& globals)
    {
        if (globals.isUndefined())
            return true;
        if (!expectObject(u"globals"_s, globals))
            return false;
        const QJsonObject nodes = globals.toObject();
        for (auto g = nodes.begin(); g != nodes.end(); ++g) {
            const QString field = u"globals."_s + quoted(g.key());
            if (!g.value().isString())
                return fail(field, u"expected a string, found %1"_s.arg(typeName(g.value())));
            QString reference = g.key();
            reference.replace(u"{today}"_s, m_today);
            try {
                auto [name, subscripts] = m::parseGlobalReference(reference.toStdString());
                m_db.globals().tree(name).set(subscripts, g.value().toString().toStdString());
            } catch (const m::MError& e) {
                return fail(field, u"not a global reference: "_s + QString::fromStdString(e.description()));
            }
        }
        return true;
    }

    QString m_today;
    Database& m_db;
};

} // namespace

bool loadData(const QByteArray& json, const QDate& today, Database& db, QString& error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = position(json, parseError.offset) + u": "_s + parseError.errorString();
        return false;
    }
    if (!document.isObject()) {
        error = u"line 1: the data file must hold one JSON object"_s;
        return false;
    }
    Loader loader(today, db);
    if (!loader.load(document.object())) {
        error = loader.error;
        return false;
    }
    return true;
}

bool loadDataFile(const QString& path, const QDate& today, Database& db, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"%1: cannot open: %2"_s.arg(path, file.errorString());
        return false;
    }
    if (!loadData(file.readAll(), today, db, error)) {
        error = path + u": "_s + error;
        return false;
    }
    return true;
}

} // namespace veldor
