#pragma once

#include "number.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldor::m {

// Subscripts as M computed them: the number 12 is "12", while the string "012" stays a
// different, non-numeric subscript. None may be empty.
using Subscripts = std::vector<std::string>;

// One variable: an optional value at the root and at every subscripted node. Nodes are kept
// in M collation order: canonical numbers in numeric order first, then other strings in byte
// order. Subscripts given to any member must not be empty (MError <SUBSCRIPT> otherwise).
// Not synchronised: whoever shares a Tree between threads serialises access.
class Tree final
{
public:
    const std::string* get(const Subscripts& subscripts) const; // nullptr when the node has no value
    void set(const Subscripts& subscripts, std::string value);
    void kill(const Subscripts& subscripts); // the node and everything below it
    // $DATA: 0 nothing, 1 value only, 10 descendants only, 11 value and descendants.
    int data(const Subscripts& subscripts) const;
    bool empty() const { return nodes_.empty(); }
    // Every node that has a value, in collation order.
    void forEach(const std::function<void(const Subscripts&, const std::string&)>& visit) const;

private:
    struct Key final
    {
        std::string text;
        std::optional<Number> number; // set when text is a canonical number
    };
    using Path = std::vector<Key>;
    struct Collation final
    {
        bool operator()(const Path& a, const Path& b) const;
    };
    static Path pathOf(const Subscripts& subscripts);
    static bool isWithin(const Path& node, const Path& ancestor);

    // Flat, keyed by the full path: descendants of a node sort directly after it, which makes
    // $DATA and KILL range operations, and keeps destruction free of recursion.
    std::map<Path, std::string, Collation> nodes_;
};

// Named trees: a session's local variables, or the server's globals (names without "^").
class Variables final
{
public:
    Tree* find(std::string_view name);
    const Tree* find(std::string_view name) const;
    Tree& tree(const std::string& name); // created empty when missing
    // Empty subscripts remove the whole variable.
    void kill(std::string_view name, const Subscripts& subscripts = {});
    void clear() { trees_.clear(); }
    bool empty() const { return trees_.empty(); }
    void forEach(const std::function<void(const std::string&, const Tree&)>& visit) const;

private:
    std::map<std::string, Tree, std::less<>> trees_;
};

// How M shows a reference: X, ^TOVI(1,3,"a""b"), with subscripts that are canonical numbers
// unquoted and control characters written as $C(n).
std::string formatReference(bool global, std::string_view name, const Subscripts& subscripts);

} // namespace veldor::m
