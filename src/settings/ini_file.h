#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace retracer {

// How values of an IniFile read back. The defaults are those of the installation's settings
// file, read the way the classic Windows profile reader with an 80-character buffer and the
// default "END.-" did; the per-user store turns the cut and the marker off.
struct IniOptions {
    std::size_t maxValueChars = 79;   // characters kept of a value; 0 keeps all
    bool endMarkerReadsEmpty = true;  // the literal value "END.-" reads as a missing key
    bool unquote = true;  // a value between a pair of equal quotes (' or ") reads without them
};

// One sectioned key=value file on disk (see IniDocument for the reading rules). A file that is
// missing or unreadable reads as empty. Reads are cheap: the parsed content is kept until the
// file's size, time stamp or identity changes. Every write re-reads the file, changes one line
// and replaces the file atomically. An IniFile may be used from several threads.
class IniFile {
  public:
    explicit IniFile(std::filesystem::path path, IniOptions options = {});
    ~IniFile();
    IniFile(const IniFile& other);
    IniFile& operator=(const IniFile& other);
    IniFile(IniFile&&) noexcept;
    IniFile& operator=(IniFile&&) noexcept;

    const std::filesystem::path& Path() const { return path_; }
    const IniOptions& Options() const { return options_; }

    // The value as read under the options, or nothing when the key is missing (or, with
    // endMarkerReadsEmpty, holds "END.-"). An empty value is present and empty.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // Find, with a missing key reading as "".
    std::string Read(std::string_view section, std::string_view key) const;

    // The section's entries in file order, values read as Read reads them.
    std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section) const;

    // Creates the file, section and key as needed, or replaces the value of an existing key in
    // place. False when the names or value cannot be stored or the file cannot be replaced; the
    // old file is then untouched and `error` (when given) says why.
    bool Write(std::string_view section, std::string_view key, std::string_view value,
               std::string* error = nullptr);

  private:
    struct Cache;
    std::string Shape(std::string_view raw) const;

    std::filesystem::path path_;
    IniOptions options_;
    std::unique_ptr<Cache> cache_;
};

}  // namespace retracer
