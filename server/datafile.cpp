#include "datafile.h"

#include "log.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace veldor {
namespace {

QString quoted(const QString& s)
{
    return u'"' + escapeForLog(s) + u'"';
}

// How a member is named in messages: top-level fields bare, the rest quoted after a dot.
QString memberName(const QString& parent, const QString& key)
{
    return parent.isEmpty() ? escapeForLog(key) : parent + u'.' + quoted(key);
}

// A key given twice in one object, found in the text, which must be valid JSON.
struct Duplicate
{
    QString field;
    int line = 0;
};

class DuplicateFinder final
{
public:
    explicit DuplicateFinder(const QByteArray& json) : m_json(json) {}

    std::optional<Duplicate> find()
    {
        while (m_at < m_json.size()) {
            const char c = m_json.at(m_at);
            if (c == '\n')
                ++m_line;
            if (c == '{' || c == '[') {
                m_levels.push_back({c == '{', valuePath(), {}, {}, 0, c == '{'});
            } else if (c == '}' || c == ']') {
                m_levels.pop_back();
            } else if (c == ',' && !m_levels.empty()) {
                Level& level = m_levels.back();
                ++level.index;
                level.expectKey = level.object;
            } else if (c == '"') {
                const int line = m_line;
                const QString text = readString();
                if (!m_levels.empty() && m_levels.back().expectKey) {
                    Level& level = m_levels.back();
                    level.expectKey = false;
                    level.key = text;
                    if (!level.keys.insert(text).second)
                        return Duplicate{memberName(level.path, text), line};
                }
                continue; // readString moved past the closing quote
            }
            ++m_at;
        }
        return std::nullopt;
    }

private:
    struct Level
    {
        bool object;
        QString path;
        std::set<QString> keys;
        QString key; // the member being read
        int index;   // the element being read
        bool expectKey;
    };

    QString valuePath() const
    {
        if (m_levels.empty())
            return {};
        const Level& level = m_levels.back();
        return level.object ? memberName(level.path, level.key)
                            : u"%1[%2]"_s.arg(level.path).arg(level.index);
    }

    // From the opening quote to past the closing one, with escapes undone.
    QString readString()
    {
        const qsizetype start = ++m_at;
        bool escapes = false;
        while (m_at < m_json.size() && m_json.at(m_at) != '"') {
            if (m_json.at(m_at) == '\\') {
                escapes = true;
                ++m_at;
            }
            ++m_at;
        }
        const QByteArray raw = m_json.mid(start - 1, m_at - start + 2);
        ++m_at;
        if (!escapes)
            return QString::fromUtf8(raw.mid(1, raw.size() - 2));
        // The reader the loader uses undoes escapes the same way.
        return QJsonDocument::fromJson("[" + raw + "]").array().at(0).toString();
    }

    const QByteArray& m_json;
    qsizetype m_at = 0;
    int m_line = 1;
    std::vector<Level> m_levels;
};

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

const QString MemoryOption = u" (see --max-globals)"_s;

// About what the objects take in memory, counted like the globals: a map node with its links for
// each entry, and the texts.
constexpr std::size_t MapNodeBytes = 4 * sizeof(void*);
constexpr std::size_t TextHeaderBytes = 24;

std::size_t textBytes(const QString& text)
{
    return sizeof(QString) + TextHeaderBytes + sizeof(char16_t) * static_cast<std::size_t>(text.size());
}

std::size_t classBytes(const QString& name)
{
    return MapNodeBytes + sizeof(ServerClass) + 2 * textBytes(name); // keyed upper-cased
}

std::size_t objectBytes(const QString& id)
{
    return MapNodeBytes + sizeof(StoredObject) + textBytes(id);
}

std::size_t propertyBytes(const QString& upperName, const PropertyValue& value)
{
    return MapNodeBytes + sizeof(PropertyValue) + textBytes(upperName) + (value ? textBytes(*value) : 0);
}

std::size_t propertyNameBytes(const QString& name)
{
    return MapNodeBytes + 2 * textBytes(name); // the class's list, upper-cased to as stored
}

class Loader final
{
public:
    Loader(const QDate& today, Database& db) : m_today(today.toString(u"yyMMdd"_s)), m_db(db) {}

    bool load(const QJsonObject& root)
    {
        for (auto it = root.begin(); it != root.end(); ++it) {
            if (it.key() != u"objects"_s && it.key() != u"globals"_s)
                return fail(escapeForLog(it.key()), u"unknown field (expected \"objects\" or \"globals\")"_s);
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
            if (!m_db.findClass(c.key()) && !charge(classField, classBytes(c.key())))
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
        if (!expectObject(field, value) || !charge(field, objectBytes(id)))
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
            PropertyValue stored;
            if (p.value().isString())
                stored = p.value().toString();
            else if (!p.value().isNull())
                return fail(propField, u"expected a string or null, found %1"_s.arg(typeName(p.value())));
            const bool newName = !cls.propertyNames.count(upper);
            if (!charge(propField, propertyBytes(upper, stored) + (newName ? propertyNameBytes(p.key()) : 0)))
                return false;
            object.properties[upper] = std::move(stored);
            m_db.addPropertyName(cls, p.key());
        }
        return true;
    }

    bool charge(const QString& field, std::size_t bytes)
    {
        try {
            m_db.chargeObjects(bytes);
            return true;
        } catch (const m::MError& e) {
            return fail(field, u"the objects do not fit in the memory limit of the globals: "_s +
                                   QString::fromStdString(e.description()) + MemoryOption);
        }
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
                m_db.globals().set(name, subscripts, g.value().toString().toStdString());
            } catch (const m::MError& e) {
                const QString what = QString::fromStdString(e.description());
                if (e.kind == m::ErrorKind::Store)
                    return fail(field,
                                u"the globals do not fit in their memory limit: "_s + what + MemoryOption);
                return fail(field, u"not a global reference: "_s + escapeForLog(what));
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
    if (const std::optional<Duplicate> duplicate = DuplicateFinder(json).find()) {
        error = u"field %1: defined twice (again on line %2); the data file must name each key once"_s
                    .arg(duplicate->field)
                    .arg(duplicate->line);
        return false;
    }
    Loader loader(today, db);
    if (!loader.load(document.object())) {
        error = loader.error;
        return false;
    }
    return true;
}

bool loadDataFile(const QString& path, const QDate& today, Database& db, QString& error, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"%1: cannot open: %2"_s.arg(path, file.errorString());
        return false;
    }
    // Read in pieces up to the limit: a device or pipe without end has no size to look at first.
    QByteArray json;
    for (;;) {
        const QByteArray piece = file.read(std::min<qint64>(1 << 20, maxBytes + 1 - json.size()));
        if (piece.isEmpty())
            break;
        json += piece;
        if (json.size() > maxBytes) {
            error = u"%1: larger than %2 bytes (see --max-data-bytes)"_s.arg(path).arg(maxBytes);
            return false;
        }
    }
    if (file.error() != QFileDevice::NoError) {
        error = u"%1: cannot read: %2"_s.arg(path, file.errorString());
        return false;
    }
    if (!loadData(json, today, db, error)) {
        error = path + u": "_s + error;
        return false;
    }
    return true;
}

} // namespace veldor
