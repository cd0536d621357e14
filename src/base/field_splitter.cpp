#include "base/field_splitter.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "base/text_codec.h"

namespace retracer {
namespace {

// True when `view` points into the buffer of `owner`, i.e. would dangle once `owner` changes.
bool Within(std::string_view view, const std::string& owner) {
    const std::less<const char*> before;
    const char* first = owner.data();
    const char* last = owner.data() + owner.size();
    return !view.empty() && !before(view.data(), first) && before(view.data(), last);
}

}  // namespace

FieldSplitter::FieldSplitter() {
    BuildTable(" ");
    Split();
}

void FieldSplitter::SetText(std::string_view text) {
    text_.assign(text);  // safe when `text` views text_ itself, e.g. SetText(Field(2))
    Split();
}

void FieldSplitter::SetSeparators(std::string_view separators) {
    if (separators == Set().separators) return;  // same separators, same fields
    BuildTable(separators);
    Split();
}

void FieldSplitter::Assign(std::string_view text, std::string_view separators) {
    if (Within(text, Set().separators) || Within(separators, text_)) {
        // Either write would pull the other argument from under us: take copies first.
        const std::string text_copy(text);
        const std::string separators_copy(separators);
        Assign(text_copy, separators_copy);
        return;
    }
    text_.assign(text);
    if (separators != Set().separators) BuildTable(separators);
    Split();
}

std::string_view FieldSplitter::Field(int i) const {
    if (i < 1 || i > FieldCount()) return {};
    const Span& span = fields_[static_cast<std::size_t>(i - 1)];
    return std::string_view(text_).substr(span.begin, span.end - span.begin);
}

void FieldSplitter::BuildTable(std::string_view separators) {
    for (std::size_t k = 0; k < kKeptSets; ++k) {
        if (sets_[k].separators == separators && (k == 0 || !sets_[k].separators.empty())) {
            current_ = k;
            return;
        }
    }
    replaced_ = (replaced_ + 1) % kKeptSets;
    if (replaced_ == current_) replaced_ = (replaced_ + 1) % kKeptSets;
    SeparatorSet& set = sets_[replaced_];
    set.byteClass.fill(0);
    set.multiByte.clear();
    std::size_t i = 0;
    while (i < separators.size()) {
        const auto lead = static_cast<unsigned char>(separators[i]);
        const std::size_t len = lead < 0x80 ? 1 : Utf8SequenceLength(separators.substr(i));
        if (len >= 2) {
            const std::string_view sequence = separators.substr(i, len);
            if (std::find(set.multiByte.begin(), set.multiByte.end(), sequence) ==
                set.multiByte.end()) {
                set.multiByte.emplace_back(sequence);
            }
            set.byteClass[lead] |= kLead;
            i += len;
        } else {
            set.byteClass[lead] |= kSingle;
            ++i;
        }
    }
    set.separators.assign(separators);
    current_ = replaced_;
}

void FieldSplitter::Split() {
    fields_.clear();
    const SeparatorSet& set = Set();
    if (!set.multiByte.empty()) {
        SplitMultiByte();
        return;
    }
    const std::size_t n = text_.size();
    std::size_t start = 0;
    if (set.separators.size() == 1) {
        // One separator, the common case: let memchr find it.
        const char* p = text_.data();
        while (const void* found = std::memchr(p + start, set.separators[0], n - start)) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - p);
            fields_.push_back({start, at});
            start = at + 1;
        }
        fields_.push_back({start, n});
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(text_.data());
    for (std::size_t i = 0; i < n; ++i) {
        if (set.byteClass[p[i]] & kSingle) {
            fields_.push_back({start, i});
            start = i + 1;
        }
    }
    fields_.push_back({start, n});
}

void FieldSplitter::SplitMultiByte() {
    const auto* p = reinterpret_cast<const unsigned char*>(text_.data());
    const std::size_t n = text_.size();
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t kind = Set().byteClass[p[i]];
        std::size_t len = (kind & kLead) ? MatchMultiByte(i) : 0;
        if (len == 0 && (kind & kSingle)) len = 1;
        if (len == 0) {
            ++i;
            continue;
        }
        fields_.push_back({start, i});
        i += len;
        start = i;
    }
    fields_.push_back({start, n});
}

std::size_t FieldSplitter::MatchMultiByte(std::size_t pos) const {
    const std::string_view rest = std::string_view(text_).substr(pos);
    for (const std::string& sequence : Set().multiByte) {
        if (rest.starts_with(sequence)) return sequence.size();
    }
    return 0;
}

}  // namespace retracer
