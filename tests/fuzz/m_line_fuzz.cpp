// One command line of the M subset, run as a session's Xecute runs it: against the session's locals
// and the globals, each with a memory limit, with a budget of work, and with the server's routine.

#include "fuzz_check.h"
#include "interpreter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace veldor::m;

// Far below the server's defaults, so that one input runs in milliseconds; what the limits guard
// against is the same.
constexpr std::size_t LocalsLimit = 256 * 1024;
constexpr std::size_t GlobalsLimit = 256 * 1024;
constexpr std::uint64_t WorkLimit = 2'000'000;

bool g_nestedLineRan = false;

const std::string* rootValue(const Variables& variables, std::string_view name)
{
    const Tree* tree = variables.find(name);
    return tree ? tree->get({}) : nullptr;
}

// ^%XTT as the server has it: it needs the session context. ^NEST runs the line the local NEST
// holds, as a routine that runs client lines would, so DO can nest as deep as a line makes it.
void runRoutine(const std::string& routine, Environment& env)
{
    if (routine == "%XTT") {
        for (const char* name : {"FIRMA", "FIL", "PERSONAL"})
            if (!rootValue(env.locals, name))
                throw MError(ErrorKind::Undefined, 0, std::string(name) + " in ^%XTT");
        return;
    }
    if (routine == "NEST") {
        const std::string* line = rootValue(env.locals, "NEST");
        if (!line)
            throw MError(ErrorKind::Undefined, 0, "NEST in ^NEST");
        g_nestedLineRan = true;
        // A copy: the line may KILL or SET the variable it came from.
        execute(std::string(*line), env);
        return;
    }
    throw MError(ErrorKind::NoRoutine, 0, "^" + routine);
}

std::vector<std::string> snapshot(const Variables& variables)
{
    std::vector<std::string> nodes;
    variables.forEach([&](const std::string& name, const Tree& tree) {
        tree.forEach([&](const Subscripts& subscripts, const std::string& value) {
            nodes.push_back(formatReference(false, name, subscripts) + '=' + value);
        });
    });
    return nodes;
}

void checkError(const MError& error)
{
    fuzz::check(error.number == errorNumber(error.kind), "an error's number matches its kind");
    fuzz::check(error.name == errorName(error.kind), "an error's name matches its kind");
    fuzz::check(error.column >= 0, "an error's column is 0 or a place in the line");
    fuzz::check(error.detail.size() <= kMaxErrorDetail, "an error's detail stays within its bound");
    fuzz::check(!error.description().empty(), "an error describes itself");
}

void runLine(std::string_view line)
{
    Variables locals("local variables");
    Variables globals("globals");
    locals.setLimit(LocalsLimit);
    globals.setLimit(GlobalsLimit);
    locals.set("FIRMA", {}, "1");
    locals.set("FIL", {}, "0");
    locals.set("PERSONAL", {}, "K17");
    globals.set("TOVI", {"1", "3", "1", "261208", "123456"}, "7'3'x");
    globals.set("TOVI", {"1", "3", "1", "261208", "123457"}, "0'0'");
    const std::vector<std::string> localsBefore = snapshot(locals);
    const std::vector<std::string> globalsBefore = snapshot(globals);

    Budget budget(WorkLimit);
    Environment env{locals, globals, runRoutine, 0, &budget};
    g_nestedLineRan = false;
    try {
        execute(line, env);
    } catch (const MError& error) {
        checkError(error);
        // The whole line is parsed before any of it runs.
        if (error.kind == ErrorKind::Syntax && !g_nestedLineRan) {
            fuzz::check(snapshot(locals) == localsBefore, "a line that does not parse changes no local");
            fuzz::check(snapshot(globals) == globalsBefore, "a line that does not parse changes no global");
        }
    }
    fuzz::check(env.routineDepth == 0, "every DO is left again");
    fuzz::check(locals.bytes() <= LocalsLimit, "locals stay within their limit");
    fuzz::check(globals.bytes() <= GlobalsLimit, "globals stay within their limit");
}

// Data files name globals this way; it shares the interpreter's literals.
void readGlobalReference(std::string_view text)
{
    try {
        const auto [name, subscripts] = parseGlobalReference(text);
        fuzz::check(!name.empty(), "a global reference names a global");
        for (const std::string& subscript : subscripts)
            fuzz::check(!subscript.empty(), "no subscript is empty");
    } catch (const MError& error) {
        checkError(error);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    runLine(line);
    readGlobalReference(line);
    return 0;
}
