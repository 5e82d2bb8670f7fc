#include "search.h"

#include <utility>

namespace veldor::m {

Finder::Finder(std::string needle) : needle_(std::move(needle))
{
    if (needle_.size() < 2) {
        return; // one byte: memchr is linear already
    }
    failure_.assign(needle_.size(), 0);
    std::size_t k = 0;
    for (std::size_t i = 1; i < needle_.size(); ++i) {
        while (k > 0 && needle_[i] != needle_[k]) {
            k = failure_[k - 1];
        }
        if (needle_[i] == needle_[k]) {
            ++k;
        }
        failure_[i] = k;
    }
}

std::size_t Finder::find(std::string_view text, std::size_t from) const
{
    if (needle_.empty()) {
        return from <= text.size() ? from : npos;
    }
    if (needle_.size() == 1) {
        return text.find(needle_[0], from);
    }
    std::size_t k = 0; // bytes of the needle matched so far
    for (std::size_t i = from; i < text.size(); ++i) {
        if (k == 0) {
            // Nothing matched yet: let memchr skip to the next candidate.
            i = text.find(needle_[0], i);
            if (i == npos) {
                return npos;
            }
            k = 1;
            continue;
        }
        while (k > 0 && text[i] != needle_[k]) {
            k = failure_[k - 1];
        }
        if (text[i] == needle_[k]) {
            ++k;
        }
        if (k == needle_.size()) {
            return i + 1 - k;
        }
    }
    return npos;
}

} // namespace veldor::m
