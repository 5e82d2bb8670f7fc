#include "interpreter.h"

#include "evaluator.h"
#include "number.h"
#include "parser.h"

namespace veldor::m {

namespace {

// Lines may be longer than allowed only by mistake or malice; measured before parsing.
void checkLine(std::string_view line)
{
    if (line.size() > kMaxLineLength) {
        int column = 1;
        for (std::size_t i = 0; i < kMaxLineLength; ++i) {
            column += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80 ? 1 : 0;
        }
        checkLineLength(line.size(), column);
    }
}

class Runner final
{
public:
    explicit Runner(Environment& env) : env_(env), evaluator_(env) {}

    // false once QUIT was reached
    bool run(const SetCommand& set)
    {
        for (const Assignment& assignment : set.assignments) {
            // M evaluates the target's subscripts before the value.
            Subscripts subscripts = evaluator_.subscriptsOf(assignment.target);
            std::string value = evaluator_.evaluate(assignment.value);
            evaluator_.charge(value.size());
            try {
                evaluator_.variablesOf(assignment.target)
                    .set(assignment.target.name, subscripts, std::move(value));
            } catch (MError& error) {
                if (error.column == 0) {
                    error.column = assignment.target.column;
                }
                throw;
            }
        }
        return true;
    }

    bool run(const DoCommand& command)
    {
        for (const RoutineCall& call : command.calls) {
            if (!env_.runRoutine) {
                throw MError(ErrorKind::NoRoutine, call.column, "^" + call.routine);
            }
            checkRoutineNesting(env_.routineDepth + 1, call.column);
            const Depth depth(env_.routineDepth);
            try {
                env_.runRoutine(call.routine, env_);
            } catch (MError& error) {
                // Errors that the routine could not place belong to this DO.
                if (error.column == 0) {
                    error.column = call.column;
                    if (error.detail.empty()) {
                        error.detail = "^" + call.routine;
                    }
                }
                throw;
            }
        }
        return true;
    }

    bool run(const KillCommand& kill)
    {
        if (kill.targets.empty()) {
            env_.locals.clear();
        }
        for (const Reference& target : kill.targets) {
            const Subscripts subscripts = evaluator_.subscriptsOf(target);
            // Charged afterwards: a KILL either happens whole or not at all.
            evaluator_.charge(evaluator_.variablesOf(target).kill(target.name, subscripts));
        }
        return true;
    }

    bool run(const QuitCommand&) { return false; }

private:
    struct Depth final
    {
        explicit Depth(int& depth) : depth_(depth) { ++depth_; }
        ~Depth() { --depth_; }
        Depth(const Depth&) = delete;
        Depth& operator=(const Depth&) = delete;
        int& depth_;
    };

    Environment& env_;
    Evaluator evaluator_;
};

} // namespace

void execute(std::string_view line, Environment& env)
{
    checkLine(line);
    if (env.budget) {
        env.budget->charge(1 + line.size()); // parsing is linear in the line
    }
    const std::vector<Command> commands = Parser(line).parseLine();
    Runner runner(env);
    for (const Command& command : commands) {
        try {
            if (!std::visit([&runner](const auto& action) { return runner.run(action); }, command.action)) {
                return;
            }
        } catch (MError& error) {
            // The budget runs out wherever the work happens to be; the command is the place.
            if (error.kind == ErrorKind::Budget && error.column == 0) {
                error.column = command.column;
            }
            throw;
        }
    }
}

std::pair<std::string, Subscripts> parseGlobalReference(std::string_view text)
{
    checkLine(text);
    const Reference reference = Parser(text).parseLiteralGlobalReference();
    Subscripts subscripts;
    for (const Expression& expression : reference.subscripts) {
        const Operand& operand = expression.first;
        std::string value = std::get<Literal>(operand.value).value;
        if (!operand.prefix.empty()) {
            value = Number::fromString(value)->negated().toString();
        }
        checkSubscript(value, reference, subscripts, operand.column);
        subscripts.push_back(std::move(value));
    }
    return {reference.name, std::move(subscripts)};
}

} // namespace veldor::m
