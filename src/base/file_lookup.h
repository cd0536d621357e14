#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace retracer {

// Programs come from Windows machines, where file names are not case-sensitive: a file that does
// not exist under its exact name is looked for in its folder ignoring letter case. Returns the
// path that exists, or the path as given when none does.
std::filesystem::path FindFileIgnoringCase(const std::filesystem::path& path);

// A path read from a file or a worklist cell, where folders may be separated by "\" or "/".
std::filesystem::path PathFromText(std::string_view text);

// A path as text for messages, file lists and labels: its UTF-8 form, separators as they are.
std::string PathText(const std::filesystem::path& path);

// The path in double quotes, as messages name a file.
std::string QuotedPath(const std::filesystem::path& path);

}  // namespace retracer
