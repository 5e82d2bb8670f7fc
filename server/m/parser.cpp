#include "parser.h"

#include "bounds.h"
#include "merror.h"

#include <optional>
#include <string>

namespace veldor::m {

namespace {

enum class CommandName
{
    Set,
    Do,
    Kill,
    Quit,
};

std::string upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// Standard M accepts the full name or its one-letter abbreviation, nothing in between.
std::optional<CommandName> commandNamed(const std::string& word)
{
    const std::string w = upper(word);
    if (w == "S" || w == "SET") {
        return CommandName::Set;
    }
    if (w == "D" || w == "DO") {
        return CommandName::Do;
    }
    if (w == "K" || w == "KILL") {
        return CommandName::Kill;
    }
    if (w == "Q" || w == "QUIT") {
        return CommandName::Quit;
    }
    return std::nullopt;
}

} // namespace

Parser::Parser(std::string_view line) : lexer_(line) {}

void Parser::fail(const char* what) const
{
    throw MError(ErrorKind::Syntax, current_.column, std::string(what) + ", found " + describe(current_));
}

void Parser::expect(TokenKind kind, const char* what)
{
    if (!at(kind)) {
        fail(what);
    }
    advance();
}

void Parser::enter(int column)
{
    checkNesting(++depth_, column);
}

std::vector<Command> Parser::parseLine()
{
    std::vector<Command> commands;
    advance();
    if (at(TokenKind::Space)) {
        advance();
    }
    while (!at(TokenKind::End)) {
        commands.push_back(parseCommand());
        if (at(TokenKind::Space)) {
            advance();
        }
    }
    return commands;
}

Command Parser::parseCommand()
{
    if (!at(TokenKind::Name)) {
        fail("expected a command");
    }
    const Token word = current_;
    const std::optional<CommandName> which = commandNamed(word.text);
    if (!which) {
        throw MError(ErrorKind::Command, word.column, word.text);
    }
    advance();
    if (at(TokenKind::Colon)) {
        throw MError(ErrorKind::Syntax, current_.column, "post-conditionals are not supported");
    }
    // One space introduces arguments; two (or the end of the line) mean there are none.
    bool arguments = false;
    if (at(TokenKind::Space)) {
        if (current_.length == 1) {
            advance();
            arguments = !at(TokenKind::End);
        }
    } else if (!at(TokenKind::End)) {
        fail("expected a space after the command");
    }

    Command command;
    command.column = word.column;
    switch (*which) {
    case CommandName::Set:
        if (!arguments) {
            fail("SET needs an argument");
        }
        command.action = parseSet();
        break;
    case CommandName::Do:
        if (!arguments) {
            fail("DO needs an argument");
        }
        command.action = parseDo();
        break;
    case CommandName::Kill:
        command.action = arguments ? parseKill() : KillCommand{};
        break;
    case CommandName::Quit:
        if (arguments) {
            fail("QUIT takes no argument");
        }
        command.action = QuitCommand{};
        break;
    }
    if (arguments && !at(TokenKind::Space) && !at(TokenKind::End)) {
        fail("expected ',', a space or the end of the line");
    }
    return command;
}

SetCommand Parser::parseSet()
{
    SetCommand set;
    for (;;) {
        Assignment assignment;
        assignment.target = parseReference();
        expect(TokenKind::Equals, "expected '='");
        assignment.value = parseExpression();
        set.assignments.push_back(std::move(assignment));
        if (!at(TokenKind::Comma)) {
            return set;
        }
        advance();
    }
}

DoCommand Parser::parseDo()
{
    DoCommand command;
    for (;;) {
        const int column = current_.column;
        expect(TokenKind::Caret, "expected ^routine");
        if (!at(TokenKind::Name)) {
            fail("expected a routine name");
        }
        command.calls.push_back(RoutineCall{current_.text, column});
        advance();
        if (!at(TokenKind::Comma)) {
            return command;
        }
        advance();
    }
}

KillCommand Parser::parseKill()
{
    KillCommand kill;
    for (;;) {
        kill.targets.push_back(parseReference());
        if (!at(TokenKind::Comma)) {
            return kill;
        }
        advance();
    }
}

Reference Parser::parseReference()
{
    Reference reference;
    reference.column = current_.column;
    if (at(TokenKind::Caret)) {
        reference.global = true;
        advance();
        if (!at(TokenKind::Name)) {
            fail("expected a global name");
        }
    } else if (!at(TokenKind::Name)) {
        fail("expected a variable");
    }
    reference.name = current_.text;
    advance();
    if (!at(TokenKind::LeftParen)) {
        return reference;
    }
    enter(current_.column);
    advance();
    for (;;) {
        reference.subscripts.push_back(parseExpression());
        if (!at(TokenKind::Comma)) {
            break;
        }
        advance();
    }
    expect(TokenKind::RightParen, "expected ',' or ')'");
    leave();
    return reference;
}

Expression Parser::parseExpression()
{
    Expression expression;
    expression.first = parseOperand();
    for (;;) {
        BinaryOperator op = BinaryOperator::Concatenate;
        switch (current_.kind) {
        case TokenKind::Underscore:
            op = BinaryOperator::Concatenate;
            break;
        case TokenKind::Plus:
            op = BinaryOperator::Add;
            break;
        case TokenKind::Minus:
            op = BinaryOperator::Subtract;
            break;
        case TokenKind::Star:
            op = BinaryOperator::Multiply;
            break;
        case TokenKind::Slash:
            op = BinaryOperator::Divide;
            break;
        default:
            return expression;
        }
        const int column = current_.column;
        advance();
        expression.steps.push_back(BinaryStep{op, column, parseOperand()});
    }
}

Operand Parser::parseOperand()
{
    Operand operand;
    operand.column = current_.column;
    while (at(TokenKind::Plus) || at(TokenKind::Minus)) {
        operand.prefix.push_back(UnaryOperator{at(TokenKind::Minus), current_.column});
        advance();
    }
    switch (current_.kind) {
    case TokenKind::Number:
    case TokenKind::String:
        operand.value = Literal{current_.text, at(TokenKind::Number)};
        advance();
        break;
    case TokenKind::Name:
    case TokenKind::Caret:
        operand.value = parseReference();
        break;
    case TokenKind::Dollar:
        operand.value = parseFunction();
        break;
    case TokenKind::LeftParen: {
        enter(current_.column);
        advance();
        auto inner = std::make_unique<Expression>(parseExpression());
        expect(TokenKind::RightParen, "expected ')'");
        leave();
        operand.value = std::move(inner);
        break;
    }
    default:
        fail("expected an expression");
    }
    return operand;
}

FunctionCall Parser::parseFunction()
{
    const Token name = current_;
    if (name.text.empty()) {
        fail("expected a function name");
    }
    FunctionCall call;
    call.column = name.column;
    const std::string fn = upper(name.text);
    std::size_t minArguments = 0;
    std::size_t maxArguments = 0;
    if (fn == "P" || fn == "PIECE") {
        call.function = Function::Piece;
        minArguments = 2;
        maxArguments = 3;
    } else if (fn == "G" || fn == "GET") {
        call.function = Function::Get;
        maxArguments = 1;
    } else if (fn == "D" || fn == "DATA") {
        call.function = Function::Data;
    } else {
        throw MError(ErrorKind::Function, name.column, "$" + name.text);
    }
    advance();
    if (!at(TokenKind::LeftParen)) {
        fail("expected '('");
    }
    enter(current_.column);
    advance();
    // $GET and $DATA ask about a variable, so their first argument is not an expression.
    bool more = true;
    if (call.function != Function::Piece) {
        call.target = parseReference();
        more = at(TokenKind::Comma);
        if (more) {
            advance();
        }
    }
    while (more) {
        call.arguments.push_back(parseExpression());
        more = at(TokenKind::Comma);
        if (more) {
            advance();
        }
    }
    expect(TokenKind::RightParen, "expected ',' or ')'");
    leave();
    if (call.arguments.size() < minArguments || call.arguments.size() > maxArguments) {
        throw MError(ErrorKind::Function, name.column, "wrong number of arguments to $" + name.text);
    }
    return call;
}

Reference Parser::parseLiteralGlobalReference()
{
    advance();
    if (!at(TokenKind::Caret)) {
        fail("expected a global reference");
    }
    Reference reference = parseReference();
    if (!at(TokenKind::End)) {
        fail("expected the end of the reference");
    }
    for (const Expression& subscript : reference.subscripts) {
        const Operand& operand = subscript.first;
        const auto* literal = std::get_if<Literal>(&operand.value);
        const bool negativeNumber =
            operand.prefix.size() == 1 && operand.prefix[0].minus && literal && literal->numeric;
        if (!literal || !subscript.steps.empty() || (!operand.prefix.empty() && !negativeNumber)) {
            throw MError(ErrorKind::Syntax, operand.column, "subscripts must be literals");
        }
    }
    return reference;
}

} // namespace veldor::m
