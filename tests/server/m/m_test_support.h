#pragma once

#include "interpreter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace veldor::m::test {

// A session with fresh locals and globals; the routines %XTT and A exist and only record
// that they ran.
class MTest : public ::testing::Test
{
protected:
    void run(const std::string& line) { execute(line, env); }

    // The value of expression, computed by a SET.
    std::string eval(const std::string& expression)
    {
        run("S %R=" + expression);
        return value(locals, "%R").value_or("<undefined>");
    }

    static std::optional<std::string> value(const Variables& vars, const std::string& name,
                                            const Subscripts& subscripts = {})
    {
        const Tree* tree = vars.find(name);
        const std::string* v = tree ? tree->get(subscripts) : nullptr;
        return v ? std::optional<std::string>(*v) : std::nullopt;
    }

    // The error a line raises; a test failure when it raises none.
    MError failure(const std::string& line)
    {
        try {
            run(line);
        } catch (const MError& error) {
            return error;
        }
        ADD_FAILURE() << "no error from: " << line;
        return MError(ErrorKind::Syntax, -1, "no error");
    }

    Variables locals;
    Variables globals;
    std::vector<std::string> routinesRun;
    Environment env{locals, globals, [this](const std::string& routine, Environment&) {
                        if (routine != "%XTT" && routine != "A") {
                            throw MError(ErrorKind::NoRoutine, 0, "");
                        }
                        routinesRun.push_back(routine);
                    }};
};

} // namespace veldor::m::test
