#pragma once

#include "ast.h"
#include "lexer.h"

#include <string_view>
#include <vector>

namespace veldor::m {

// Turns a command line into commands, all of it before anything runs, so a line with a
// syntax error anywhere changes nothing. Throws MError (<SYNTAX>, <COMMAND>, <FUNCTION>,
// <NESTING>, <MAXNUMBER>, <MAXSTRING>).
class Parser final
{
public:
    explicit Parser(std::string_view line);

    std::vector<Command> parseLine();
    // The whole text must be one global reference whose subscripts are string or number
    // literals, a number optionally preceded by "-".
    Reference parseLiteralGlobalReference();

private:
    void advance() { current_ = lexer_.next(); }
    bool at(TokenKind kind) const { return current_.kind == kind; }
    void expect(TokenKind kind, const char* what);
    [[noreturn]] void fail(const char* what) const;
    void enter(int column);
    void leave() { --depth_; }

    Command parseCommand();
    SetCommand parseSet();
    DoCommand parseDo();
    KillCommand parseKill();
    Reference parseReference();
    Expression parseExpression();
    Operand parseOperand();
    FunctionCall parseFunction();

    Lexer lexer_;
    Token current_;
    int depth_ = 0;
};

} // namespace veldor::m
