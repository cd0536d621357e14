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
    interrupted_ = false;
    TextFileLines lines;
    if (!lines.Open(path, error)) return false;
    std::string failure;
    int number = 0;
    Scan(
        [&](std::string_view& line) {
            switch (lines.Next(line)) {
                case TextFileLines::Status::kLine:
                    ++number;
                    return true;
                case TextFileLines::Status::kLongLine:
                    failure = "Line " + std::to_string(number + 1) + " of \"" + path.string() +
                              "\" is longer than " +
                              std::to_string(TextFileLines::kMaxLineBytes >> 20) + " MB";
                    return false;
                case TextFileLines::Status::kError:
                    failure = lines.Error();
                    return false;
                case TextFileLines::Status::kEnd:
                    break;
            }
            return false;
        },
        handler);
    interrupted_ = !failure.empty();
    if (interrupted_ && error != nullptr) *error = failure;
    return !interrupted_;
}

void LineScanner::ScanText(std::string_view utf8, ScanHandler& handler) {
    // Lines are views into the text; a text that lives in the current line (or in an outer scan)
    // would change under them, so such a text is scanned from a copy.
    std::string own_copy;
    if (depth_ > 0 || Overlaps(utf8, current_.Text())) {
        own_copy.assign(utf8);
        utf8 = own_copy;
    }
    LineCursor cursor(utf8);
    Scan([&](std::string_view& line) { return cursor.Next(line); }, handler);
}

template <typename NextLine>
void LineScanner::Scan(NextLine&& next, ScanHandler& handler) {
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

    // The separators each line starts with are those in force now, whatever the handler does
    // to the defaults during the scan.
    const std::string separators = default_separators_;
    stop_requested_ = false;
    line_number_ = 0;
    current_.Assign({}, separators);

    handler.ScanBegin(*this);
    std::string_view line;
    while (!stop_requested_ && next(line)) {
        ++line_number_;
        current_.Assign(line, separators);
        handler.LineRead(*this);
    }
    handler.ScanEnd(*this);
}

}  // namespace retracer
