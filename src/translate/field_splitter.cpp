#include "translate/field_splitter.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "translate/text_codec.h"

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
    if (separators == separators_) return;  // same separators, same fields
    BuildTable(separators);
    Split();
}

void FieldSplitter::Assign(std::string_view text, std::string_view separators) {
    if (Within(text, separators_) || Within(separators, text_)) {
        // Either write would pull the other argument from under us: take copies first.
        const std::string text_copy(text);
        const std::string separators_copy(separators);
        Assign(text_copy, separators_copy);
        return;
    }
    text_.assign(text);
    if (separators != separators_) BuildTable(separators);
    Split();
}

std::string_view FieldSplitter::Field(int i) const {
    if (i < 1 || i > FieldCount()) return {};
    const Span& span = fields_[static_cast<std::size_t>(i - 1)];
    return std::string_view(text_).substr(span.begin, span.end - span.begin);
}

void FieldSplitter::BuildTable(std::string_view separators) {
    std::array<std::uint8_t, 256> table{};
    std::vector<std::string> multi_byte;
    std::size_t i = 0;
    while (i < separators.size()) {
        const std::size_t len = Utf8SequenceLength(separators.substr(i));
        const auto lead = static_cast<unsigned char>(separators[i]);
        if (len >= 2) {
            std::string sequence(separators.substr(i, len));
            if (std::find(multi_byte.begin(), multi_byte.end(), sequence) == multi_byte.end()) {
                multi_byte.push_back(std::move(sequence));
            }
            table[lead] |= kLead;
            i += len;
        } else {
            table[lead] |= kSingle;
            ++i;
        }
    }
    byte_class_ = table;
    multi_byte_ = std::move(multi_byte);
    separators_.assign(separators);
}

void FieldSplitter::Split() {
    fields_.clear();
    if (!multi_byte_.empty()) {
        SplitMultiByte();
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(text_.data());
    const std::size_t n = text_.size();
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (byte_class_[p[i]] & kSingle) {
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
        const std::uint8_t kind = byte_class_[p[i]];
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
    for (const std::string& sequence : multi_byte_) {
        if (rest.starts_with(sequence)) return sequence.size();
    }
    return 0;
}

}  // namespace retracer
