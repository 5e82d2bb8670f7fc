#include "variables.h"

#include "merror.h"

#include <algorithm>

namespace veldor::m {

bool Tree::Collation::operator()(const Path& a, const Path& b) const
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const Key& x = a[i];
        const Key& y = b[i];
        int c = 0;
        if (x.number && y.number) {
            c = Number::compare(*x.number, *y.number);
        } else if (x.number || y.number) {
            c = x.number ? -1 : 1; // numbers collate before strings
        } else {
            c = x.text.compare(y.text); // char_traits<char> compares as unsigned: byte order
        }
        if (c != 0) {
            return c < 0;
        }
    }
    return a.size() < b.size();
}

Tree::Path Tree::pathOf(const Subscripts& subscripts)
{
    Path path;
    path.reserve(subscripts.size());
    for (const std::string& s : subscripts) {
        if (s.empty()) {
            throw MError(ErrorKind::Subscript, 0, "empty subscript");
        }
        Key key{s, std::nullopt};
        if (Number::isCanonical(s)) {
            key.number = Number::fromString(s);
        }
        path.push_back(std::move(key));
    }
    return path;
}

bool Tree::isWithin(const Path& node, const Path& ancestor)
{
    if (node.size() < ancestor.size()) {
        return false;
    }
    for (std::size_t i = 0; i < ancestor.size(); ++i) {
        if (node[i].text != ancestor[i].text) {
            return false;
        }
    }
    return true;
}

const std::string* Tree::get(const Subscripts& subscripts) const
{
    const auto it = nodes_.find(pathOf(subscripts));
    return it == nodes_.end() ? nullptr : &it->second;
}

void Tree::set(const Subscripts& subscripts, std::string value)
{
    nodes_.insert_or_assign(pathOf(subscripts), std::move(value));
}

void Tree::kill(const Subscripts& subscripts)
{
    const Path path = pathOf(subscripts);
    auto it = nodes_.lower_bound(path);
    while (it != nodes_.end() && isWithin(it->first, path)) {
        it = nodes_.erase(it);
    }
}

int Tree::data(const Subscripts& subscripts) const
{
    const Path path = pathOf(subscripts);
    auto it = nodes_.lower_bound(path);
    int result = 0;
    if (it != nodes_.end() && it->first.size() == path.size() && isWithin(it->first, path)) {
        result = 1;
        ++it;
    }
    if (it != nodes_.end() && isWithin(it->first, path)) {
        result += 10;
    }
    return result;
}

void Tree::forEach(const std::function<void(const Subscripts&, const std::string&)>& visit) const
{
    Subscripts subscripts;
    for (const auto& [path, value] : nodes_) {
        subscripts.clear();
        for (const Key& key : path) {
            subscripts.push_back(key.text);
        }
        visit(subscripts, value);
    }
}

Tree* Variables::find(std::string_view name)
{
    const auto it = trees_.find(name);
    return it == trees_.end() ? nullptr : &it->second;
}

const Tree* Variables::find(std::string_view name) const
{
    const auto it = trees_.find(name);
    return it == trees_.end() ? nullptr : &it->second;
}

Tree& Variables::tree(const std::string& name)
{
    return trees_[name];
}

void Variables::kill(std::string_view name, const Subscripts& subscripts)
{
    const auto it = trees_.find(name);
    if (it == trees_.end()) {
        return;
    }
    it->second.kill(subscripts);
    if (it->second.empty()) {
        trees_.erase(it);
    }
}

void Variables::forEach(const std::function<void(const std::string&, const Tree&)>& visit) const
{
    for (const auto& [name, tree] : trees_) {
        visit(name, tree);
    }
}

namespace {

bool isGraphic(unsigned char c)
{
    return c >= 0x20 && c != 0x7F;
}

// "a""b", or "a"_$C(9)_"b" when the text holds control characters.
std::string quoted(std::string_view text)
{
    std::string out;
    bool inLiteral = false;
    bool inCodes = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isGraphic(byte)) {
            if (inCodes) {
                out += ')';
                inCodes = false;
            }
            if (!inLiteral) {
                out += out.empty() ? "\"" : "_\"";
                inLiteral = true;
            }
            out += c;
            if (c == '"') {
                out += '"';
            }
        } else {
            if (inLiteral) {
                out += '"';
                inLiteral = false;
            }
            if (inCodes) {
                out += ',';
            } else {
                out += out.empty() ? "$C(" : "_$C(";
                inCodes = true;
            }
            out += std::to_string(byte);
        }
    }
    if (inLiteral) {
        out += '"';
    }
    if (inCodes) {
        out += ')';
    }
    return out.empty() ? "\"\"" : out;
}

} // namespace

std::string formatReference(bool global, std::string_view name, const Subscripts& subscripts)
{
    std::string out = global ? "^" : "";
    out += name;
    if (!subscripts.empty()) {
        out += '(';
        for (std::size_t i = 0; i < subscripts.size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            out += Number::isCanonical(subscripts[i]) ? subscripts[i] : quoted(subscripts[i]);
        }
        out += ')';
    }
    return out;
}

} // namespace veldor::m
