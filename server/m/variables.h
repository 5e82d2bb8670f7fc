#pragma once

#include "number.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldor::m {

// The memory a set of variables takes, counted against a limit: the bytes of names,
// subscripts and values plus what the containers keep per node.
struct Usage final
{
    std::size_t bytes = 0;
    std::size_t limit = static_cast<std::size_t>(-1);
    std::string what = "variables"; // names the limit in the <STORE> error, e.g. "globals"
};

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
    // usage: where the tree's memory is counted, or nowhere
    explicit Tree(Usage* usage = nullptr) : usage_(usage) {}
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    const std::string* get(const Subscripts& subscripts) const; // nullptr when the node has no value
    // Throws <STORE> (column 0) when the value would take the usage past its limit; then
    // nothing changes.
    void set(const Subscripts& subscripts, std::string value);
    // The node and everything below it; returns how many nodes went.
    std::size_t kill(const Subscripts& subscripts);
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
    static std::size_t nodeBytes(const Path& path, const std::string& value);

    void reserve(std::size_t more);
    void release(std::size_t less);

    Usage* usage_;
    std::size_t bytes_ = 0; // this tree's share of the usage

    // Flat, keyed by the full path: descendants of a node sort directly after it, which makes
    // $DATA and KILL range operations, and keeps destruction free of recursion.
    std::map<Path, std::string, Collation> nodes_;
};

// Named trees: a session's local variables, or the server's globals (names without "^").
class Variables final
{
public:
    // Named in the <STORE> error; no limit until setLimit.
    explicit Variables(std::string what = "variables");
    Variables(const Variables&) = delete; // the trees count their memory here
    Variables& operator=(const Variables&) = delete;

    Tree* find(std::string_view name);
    const Tree* find(std::string_view name) const;
    Tree& tree(const std::string& name); // created empty when missing
    // Sets one node; a variable created for it goes again when the limit refuses the value.
    void set(const std::string& name, const Subscripts& subscripts, std::string value);
    // Empty subscripts remove the whole variable. Returns how many nodes went.
    std::size_t kill(std::string_view name, const Subscripts& subscripts = {});
    void clear();
    bool empty() const { return trees_.empty(); }
    void forEach(const std::function<void(const std::string&, const Tree&)>& visit) const;

    // Memory kept beside the trees under the same limit (the server's objects beside its globals),
    // counted for good. Throws <STORE> (column 0) when it would pass the limit; then nothing is counted.
    void reserveBeside(std::size_t bytes);

    void setLimit(std::size_t bytes) { usage_.limit = bytes; }
    std::size_t limit() const { return usage_.limit; }
    std::size_t bytes() const { return usage_.bytes; } // as counted against the limit

private:
    static std::size_t treeBytes(std::string_view name);

    Usage usage_;
    std::size_t beside_ = 0;
    std::map<std::string, Tree, std::less<>> trees_;
};

// How M shows a reference: X, ^TOVI(1,3,"a""b"), with subscripts that are canonical numbers
// unquoted and control characters written as $C(n). Longer than limit bytes, it is cut and ends
// in "...".
std::string formatReference(bool global, std::string_view name, const Subscripts& subscripts,
                            std::size_t limit = static_cast<std::size_t>(-1));

} // namespace veldor::m
