#include "base/file_lookup.h"

#include <string>
#include <system_error>

namespace retracer {
namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

std::filesystem::path FindFileIgnoringCase(const std::filesystem::path& path) {
    std::error_code ec;
    if (path.empty() || std::filesystem::is_regular_file(path, ec)) return path;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const std::string wanted = path.filename().string();
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (SameIgnoringCase(it->path().filename().string(), wanted) && it->is_regular_file(ec)) {
            return path.has_parent_path() ? it->path() : it->path().filename();
        }
    }
    return path;
}

std::filesystem::path PathFromText(std::string_view text) {
    std::string normal(text);
#ifndef _WIN32
    for (char& c : normal) {
        if (c == '\\') c = '/';
    }
#endif
    return std::filesystem::path(normal);
}

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string QuotedPath(const std::filesystem::path& path) {
    return "\"" + PathText(path) + "\"";
}

}  // namespace retracer
