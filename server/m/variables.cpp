#include "variables.h"

#include "bounds.h"
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

Tree::~Tree()
{
    release(bytes_);
}

std::size_t Tree::nodeBytes(const Path& path, const std::string& value)
{
    // A map node holds its links and colour besides the key and value.
    std::size_t bytes = 4 * sizeof(void*) + sizeof(Path) + sizeof(std::string) + value.size();
    for (const Key& key : path) {
        bytes += sizeof(Key) + key.text.size();
    }
    return bytes;
}

namespace {

void reserveIn(Usage& usage, std::size_t more)
{
    if (more > usage.limit || usage.bytes > usage.limit - more) {
        throw MError(ErrorKind::Store, 0,
                     usage.what + " limit of " + std::to_string(usage.limit) + " bytes reached");
    }
    usage.bytes += more;
}

} // namespace

void Tree::reserve(std::size_t more)
{
    if (usage_) {
        reserveIn(*usage_, more);
    }
    bytes_ += more;
}

void Tree::release(std::size_t less)
{
    if (usage_) {
        usage_->bytes -= less;
    }
    bytes_ -= less;
}

const std::string* Tree::get(const Subscripts& subscripts) const
{
    const auto it = nodes_.find(pathOf(subscripts));
    return it == nodes_.end() ? nullptr : &it->second;
}

void Tree::set(const Subscripts& subscripts, std::string value)
{
    Path path = pathOf(subscripts);
    const auto it = nodes_.lower_bound(path);
    if (it != nodes_.end() && !Collation{}(path, it->first)) {
        if (value.size() > it->second.size()) {
            reserve(value.size() - it->second.size());
        } else {
            release(it->second.size() - value.size());
        }
        it->second = std::move(value);
        return;
    }
    const std::size_t bytes = nodeBytes(path, value);
    reserve(bytes);
    try {
        nodes_.emplace_hint(it, std::move(path), std::move(value));
    } catch (...) {
        release(bytes);
        throw;
    }
}

std::size_t Tree::kill(const Subscripts& subscripts)
{
    const Path path = pathOf(subscripts);
    auto it = nodes_.lower_bound(path);
    std::size_t killed = 0;
    while (it != nodes_.end() && isWithin(it->first, path)) {
        release(nodeBytes(it->first, it->second));
        it = nodes_.erase(it);
        ++killed;
    }
    return killed;
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

Variables::Variables(std::string what)
{
    usage_.what = std::move(what);
}

std::size_t Variables::treeBytes(std::string_view name)
{
    return 4 * sizeof(void*) + sizeof(std::string) + sizeof(Tree) + name.size();
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
    const auto it = trees_.find(name);
    if (it != trees_.end()) {
        return it->second;
    }
    // An empty variable is counted but not refused: setting its first node is.
    usage_.bytes += treeBytes(name);
    return trees_.try_emplace(name, &usage_).first->second;
}

void Variables::set(const std::string& name, const Subscripts& subscripts, std::string value)
{
    const bool existed = find(name) != nullptr;
    Tree& target = tree(name);
    try {
        target.set(subscripts, std::move(value));
    } catch (...) {
        if (!existed && target.empty()) {
            kill(name);
        }
        throw;
    }
}

std::size_t Variables::kill(std::string_view name, const Subscripts& subscripts)
{
    const auto it = trees_.find(name);
    if (it == trees_.end()) {
        return 0;
    }
    const std::size_t killed = it->second.kill(subscripts);
    if (it->second.empty()) {
        usage_.bytes -= treeBytes(name);
        trees_.erase(it);
    }
    return killed;
}

void Variables::clear()
{
    trees_.clear();
    usage_.bytes = beside_;
}

void Variables::reserveBeside(std::size_t bytes)
{
    reserveIn(usage_, bytes);
    beside_ += bytes;
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

std::string formatReference(bool global, std::string_view name, const Subscripts& subscripts,
                            std::size_t limit)
{
    std::string out = global ? "^" : "";
    out += name;
    if (!subscripts.empty()) {
        out += '(';
        for (std::size_t i = 0; i < subscripts.size() && out.size() <= limit; ++i) {
            if (i > 0) {
                out += ',';
            }
            out += Number::isCanonical(subscripts[i]) ? subscripts[i] : quoted(subscripts[i]);
        }
        out += ')';
    }
    return cutText(std::move(out), limit);
}

} // namespace veldor::m
