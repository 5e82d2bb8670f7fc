#include "session.h"

#include "platform/wire/wire.h"

#include <QJsonArray>

#include <new>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace veldor {
namespace {

const QString ConversionSuffix = u"LOGICALTOODBC"_s;

QJsonValue toJson(const PropertyValue& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject valueReply(const QJsonValue& value)
{
    QJsonObject reply = wire::okReply();
    reply.insert(u"value"_s, value);
    return reply;
}

} // namespace

Session::Session(int id, Database& db, Log& log, Scheduler& scheduler, Limits limits, Reply lateReply)
    : m_id(id), m_db(db), m_log(log), m_scheduler(scheduler), m_limits(limits),
      m_lateReply(std::move(lateReply))
{
    m_locals.setLimit(m_limits.maxLocals);
}

Session::~Session()
{
    cancel();
}

void Session::cancel()
{
    if (!m_running)
        return;
    m_scheduler.cancel(std::exchange(m_running, nullptr));
    log(u"xecute ended: the session closed while the line ran"_s);
}

std::optional<QJsonObject> Session::handle(const QJsonObject& request)
{
    const QString op = request.value(u"op"_s).toString();
    if (op == u"open"_s)
        return open(request);
    if (op == u"classobj"_s)
        return classObject(request);
    if (op == u"get"_s)
        return property(request);
    if (op == u"call"_s)
        return call(request);
    if (op == u"close"_s)
        return close(request);
    return fail(wire::error::BadRequest,
                u"unknown request \"%1\""_s.arg(escapeForLog(op, m_limits.maxErrorText)));
}

QJsonObject Session::fail(std::int32_t number, const QString& text)
{
    QString shown = text;
    if (shown.size() > m_limits.maxErrorText) {
        qsizetype keep = m_limits.maxErrorText - 3;
        if (keep > 0 && shown.at(keep - 1).isHighSurrogate())
            --keep;
        shown = shown.left(keep) + u"..."_s;
    }
    log(u"error %1: %2"_s.arg(number).arg(escapeForLog(shown)));
    return wire::errorReply(number, shown);
}

QJsonObject Session::newHandle(OpenObject object)
{
    if (openObjects() >= MaxOpenObjects)
        return fail(wire::error::ObjectLimit, u"too many open objects (%1)"_s.arg(MaxOpenObjects));
    const int handle = m_nextHandle++;
    m_handles.emplace(handle, std::move(object));
    QJsonObject reply = wire::okReply();
    reply.insert(u"handle"_s, handle);
    return reply;
}

QJsonObject Session::open(const QJsonObject& request)
{
    const QString className = request.value(u"class"_s).toString();
    const QString id = request.value(u"id"_s).toString();
    const qsizetype shown = m_log.lineLimit();
    log(u"open %1 %2"_s.arg(escapeForLog(className, shown), escapeForLog(id, shown)));
    ServerClass* cls = m_db.findClass(className);
    if (!cls)
        return fail(wire::error::NoSuchClass, u"class '%1' does not exist"_s.arg(className));
    const auto it = cls->objects.find(id);
    if (it == cls->objects.end())
        return fail(wire::error::NoSuchObject,
                    u"object to open not found: class '%1', id '%2'"_s.arg(cls->name, id));
    return newHandle({cls, &it->second, id});
}

QJsonObject Session::classObject(const QJsonObject& request)
{
    const QString className = request.value(u"class"_s).toString();
    ServerClass* cls = m_db.findClass(className);
    if (!cls)
        return fail(wire::error::NoSuchClass, u"class '%1' does not exist"_s.arg(className));
    return newHandle({cls, nullptr, {}});
}

QString Session::lookupName(const QString& name) const
{
    // Longer than any name the data knows, even with the conversion suffix, it cannot match; it
    // becomes empty, which matches nothing, without upper-casing a client's megabyte.
    return name.size() > m_db.longestName() + ConversionSuffix.size() ? QString() : name.toUpper();
}

const Session::OpenObject* Session::lookup(const QJsonObject& request) const
{
    const QJsonValue handle = request.value(u"handle"_s);
    const auto it = m_handles.find(handle.toInt(-1));
    if (!handle.isDouble() || it == m_handles.end())
        return nullptr;
    return &it->second;
}

QJsonObject Session::invalidHandle()
{
    return fail(wire::error::InvalidHandle, u"object handle is not open (closed or never opened)"_s);
}

QJsonObject Session::property(const QJsonObject& request)
{
    const OpenObject* object = lookup(request);
    if (!object)
        return invalidHandle();
    const QString name = request.value(u"name"_s).toString();
    const QString upper = lookupName(name);
    if (object->object) {
        const auto it = object->object->properties.find(upper);
        if (it != object->object->properties.end())
            return valueReply(toJson(it->second));
        // A property other objects of the class have but this one lacks has no value.
        if (object->cls->propertyNames.count(upper))
            return valueReply(QJsonValue::Null);
    }
    return fail(wire::error::NoSuchProperty,
                u"property '%1' does not exist in class '%2'"_s.arg(name, object->cls->name));
}

std::optional<QJsonObject> Session::call(const QJsonObject& request)
{
    const OpenObject* object = lookup(request);
    if (!object)
        return invalidHandle();
    const QString name = request.value(u"name"_s).toString();
    const QString upper = lookupName(name);
    const QJsonArray args = request.value(u"args"_s).toArray();
    if (upper == u"SYS_CLOSE"_s)
        return close(request);

    if (object->cls->hasXecute && upper == u"XECUTE"_s) {
        if (args.size() != 1 || !args.at(0).isString())
            return fail(wire::error::BadArguments, u"Xecute takes one text argument"_s);
        return xecute(args.at(0).toString());
    }
    if (upper.endsWith(ConversionSuffix)) {
        const QString prop = upper.left(upper.size() - ConversionSuffix.size());
        if (object->cls->propertyNames.count(prop)) {
            if (args.size() != 1)
                return fail(wire::error::BadArguments, u"%1 takes one argument"_s.arg(name));
            const QJsonValue arg = args.at(0);
            if (arg.isDouble())
                return valueReply(QString::number(arg.toDouble()));
            return valueReply(arg.toString());
        }
    }
    return fail(wire::error::NoSuchMethod,
                u"method '%1' does not exist in class '%2'"_s.arg(name, object->cls->name));
}

QJsonObject Session::close(const QJsonObject& request)
{
    if (!lookup(request))
        return invalidHandle();
    m_handles.erase(request.value(u"handle"_s).toInt());
    return wire::okReply();
}

void Session::startRoutine(const std::string& routine, m::Environment& env)
{
    if (routine != "%XTT")
        throw m::MError(m::ErrorKind::NoRoutine, 0, "^" + routine);
    QStringList context;
    for (const char* name : {"FIRMA", "FIL", "PERSONAL"}) {
        const m::Tree* variable = env.locals.find(name);
        const std::string* value = variable ? variable->get({}) : nullptr;
        if (!value)
            throw m::MError(m::ErrorKind::Undefined, 0, std::string(name) + " in ^%XTT");
        context << QString::fromLatin1(name) + u'=' + QString::fromStdString(*value);
    }
    log(u"context "_s + escapeForLog(context.join(u' ')));
}

std::optional<QJsonObject> Session::xecute(const QString& line)
{
    log(u"xecute "_s + escapeForLog(line, m_log.lineLimit()));
    auto job = [this, text = line.toStdString()](m::Budget& budget) {
        m::Environment env{
            m_locals, m_db.globals(),
            [this](const std::string& routine, m::Environment& e) { startRoutine(routine, e); }, 0, &budget};
        m_failure.reset();
        try {
            m::execute(text, env);
        } catch (const m::MError& e) {
            m_failure = e;
        } catch (const std::bad_alloc&) {
            m_failure = m::MError(m::ErrorKind::Store, 0, "the server is out of memory");
        }
    };
    m_running = m_scheduler.run(std::move(job), [this] {
        m_running = nullptr;
        m_lateReply(xecuteReply());
    });
    if (m_running)
        return std::nullopt;
    return xecuteReply();
}

QJsonObject Session::xecuteReply()
{
    if (m_failure)
        return fail(wire::error::MBase + m_failure->number, QString::fromStdString(m_failure->description()));
    const m::Tree* p0Tree = m_locals.find("P0");
    const std::string* p0 = p0Tree ? p0Tree->get({}) : nullptr;
    const QString result = p0 ? QString::fromStdString(*p0) : QString();
    log(u"xecute ok P0="_s + escapeForLog(result, m_log.lineLimit()));
    return valueReply(result);
}

} // namespace veldor
