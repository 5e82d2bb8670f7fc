#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

// The parsed form of one command line. Nesting depth is bounded by the parser, and operator
// chains are flat lists, so walking or destroying a tree never recurses deeply.
namespace veldor::m {

struct Expression;

struct Literal final
{
    std::string value; // numbers already in canonical form
    bool numeric = false;
};

// A local (P0, A(1)) or global (^TOVI(1,3)) variable, possibly subscripted.
struct Reference final
{
    bool global = false;
    std::string name; // without "^"
    std::vector<Expression> subscripts;
    int column = 0;
};

enum class Function
{
    Piece,
    Get,
    Data,
};

struct FunctionCall final
{
    Function function = Function::Piece;
    Reference target;                  // $GET, $DATA: the variable asked about
    std::vector<Expression> arguments; // $PIECE: 2 or 3; $GET: the optional default
    int column = 0;
};

struct UnaryOperator final
{
    bool minus = false; // otherwise unary plus: numeric interpretation only
    int column = 0;
};

struct Operand final
{
    std::vector<UnaryOperator> prefix; // applied innermost (rightmost) first
    std::variant<Literal, Reference, FunctionCall, std::unique_ptr<Expression>> value;
    int column = 0;
};

enum class BinaryOperator
{
    Concatenate,
    Add,
    Subtract,
    Multiply,
    Divide,
};

struct BinaryStep final
{
    BinaryOperator op = BinaryOperator::Concatenate;
    int column = 0;
    Operand operand;
};

// M has no operator precedence: first, then each step strictly left to right.
struct Expression final
{
    Operand first;
    std::vector<BinaryStep> steps;
};

struct Assignment final
{
    Reference target;
    Expression value;
};

struct RoutineCall final
{
    std::string routine; // without "^"
    int column = 0;
};

struct SetCommand final
{
    std::vector<Assignment> assignments;
};

struct DoCommand final
{
    std::vector<RoutineCall> calls;
};

struct KillCommand final
{
    std::vector<Reference> targets; // empty: every local variable
};

struct QuitCommand final
{
};

struct Command final
{
    std::variant<SetCommand, DoCommand, KillCommand, QuitCommand> action;
    int column = 0;
};

} // namespace veldor::m
