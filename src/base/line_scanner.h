#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/field_splitter.h"

namespace retracer {

class LineScanner;

// Receives the events of a scan, all raised from inside ScanFile / ScanText on the caller's
// thread. LineRead comes once per line with the line (without its line end) in
// scanner.Current().
class ScanHandler {
  public:
    virtual ~ScanHandler() = default;
    virtual void ScanBegin(LineScanner&) {}
    virtual void LineRead(LineScanner&) = 0;
    virtual void ScanEnd(LineScanner&) {}
};

// Reads a text line by line and hands each line, split into fields, to a handler.
//
// A handler may rewrite the current text and separators at will; the next line starts afresh
// with its own text and the default separators as they were when the scan began. A handler may
// also start a scan of another text on the same scanner: when it returns, the outer line, its
// number and its fields are as they were.
class LineScanner {
  public:
    // Separators every line starts with (" " unless changed).
    void SetDefaultSeparators(std::string_view separators) { default_separators_ = separators; }
    const std::string& DefaultSeparators() const { return default_separators_; }

    // Scans a file as it reads and decodes it, in pieces, so a file of any size takes a few
    // megabytes. When the file cannot be opened: false, a message in `error` (if given) and no
    // events at all. A line longer than TextFileLines::kMaxLineBytes (no program has one; a
    // damaged or foreign file may) or a failure to read on ends the scan there: ScanEnd is still
    // raised, Interrupted() tells, and the result is false with a message naming the line.
    bool ScanFile(const std::filesystem::path& path, ScanHandler& handler, std::string* error);

    // Scans UTF-8 text. Raises ScanBegin, LineRead for each line and ScanEnd, even for an empty
    // text (then without LineRead).
    void ScanText(std::string_view utf8, ScanHandler& handler);

    // The last ScanFile began but could not read the file to its end.
    bool Interrupted() const { return interrupted_; }

    // The current line: during LineRead the line just read, as the handler left it.
    FieldSplitter& Current() { return current_; }
    const FieldSplitter& Current() const { return current_; }

    // 1-based number of the current line; 0 before the first line of a scan.
    int LineNumber() const { return line_number_; }

    // Ends the scan after the current event; ScanEnd is still raised.
    void RequestStop() { stop_requested_ = true; }
    bool StopRequested() const { return stop_requested_; }

  private:
    // Scans the lines `next` gives (true with the next line, false after the last).
    template <typename NextLine>
    void Scan(NextLine&& next, ScanHandler& handler);

    FieldSplitter current_;
    std::string default_separators_ = " ";
    int line_number_ = 0;
    bool stop_requested_ = false;
    int depth_ = 0;  // scans in progress on this scanner (more than one when nested)
    bool interrupted_ = false;
};

}  // namespace retracer
