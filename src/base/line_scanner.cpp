#include "base/line_scanner.h"

#include <functional>
#include <optional>
#include <utility>

#include "base/text_codec.h"

namespace retracer {
namespace {

bool Overlaps(std::string_view view, const std::string& owner) {
    const std::less<const char*> before;
    return !view.empty() && !before(view.data(), owner.data()) &&
           before(view.data(), owner.data() + owner.size());
}

}  // namespace

bool LineScanner::ScanFile(const std::filesystem::path& path, ScanHandler& handler,
                           std::string* error) {
    std::string text;
    if (!ReadTextFile(path, text, error)) return false;
    ScanText(text, handler);
    return true;
}

void LineScanner::ScanText(std::string_view utf8, ScanHandler& handler) {
    struct Saved {
        FieldSplitter line;
        int number;
        bool stop;
    };
    // Puts an outer scan's line back when a nested one ends, however it ends.
    struct Guard {
        LineScanner& scanner;
        std::optional<Saved> outer;
        ~Guard() {
            --scanner.depth_;
            if (!outer) return;
            scanner.current_ = std::move(outer->line);
            scanner.line_number_ = outer->number;
            scanner.stop_requested_ = outer->stop;
        }
    };
    std::optional<Saved> outer;
    if (depth_ > 0) outer.emplace(Saved{current_, line_number_, stop_requested_});
    ++depth_;
    Guard guard{*this, std::move(outer)};

    // Lines are views into the text; a text that lives in the current line (or in an outer scan)
    // would change under them, so such a text is scanned from a copy.
    std::string own_copy;
    if (guard.outer || Overlaps(utf8, current_.Text())) {
        own_copy.assign(utf8);
        utf8 = own_copy;
    }

    // The separators each line starts with are those in force now, whatever the handler does
    // to the defaults during the scan.
    const std::string separators = default_separators_;
    stop_requested_ = false;
    line_number_ = 0;
    current_.Assign({}, separators);

    handler.ScanBegin(*this);
    LineCursor cursor(utf8);
    std::string_view line;
    while (!stop_requested_ && cursor.Next(line)) {
        ++line_number_;
        current_.Assign(line, separators);
        handler.LineRead(*this);
    }
    handler.ScanEnd(*this);
}

}  // namespace retracer
