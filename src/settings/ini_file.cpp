#include "settings/ini_file.h"

#include <cstdint>
#include <mutex>
#include <system_error>

#include "base/atomic_file.h"
#include "settings/ini_document.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace retracer {
namespace {

constexpr std::string_view kEndMarker = "END.-";

// What tells one state of a file from another without reading it. The inode catches a file
// replaced within one tick of a coarse clock, as every atomic write does.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint64_t identity = 0;
    std::uint64_t device = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const fs::path& path) {
    FileStamp stamp;
#ifdef _WIN32
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return stamp;
    stamp.size = fs::file_size(path, ec);
    if (ec) return FileStamp{};
    stamp.modified = fs::last_write_time(path, ec).time_since_epoch().count();
    if (ec) return FileStamp{};
    stamp.exists = true;
#else
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return stamp;
    stamp.exists = true;
    stamp.size = static_cast<std::uintmax_t>(info.st_size);
    stamp.modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.identity = static_cast<std::uint64_t>(info.st_ino);
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
#endif
    return stamp;
}

struct Snapshot {
    FileStamp stamp;
    IniDocument document;
};

}  // namespace

struct IniFile::Cache {
    std::mutex mutex;
    std::shared_ptr<const Snapshot> snapshot;

    // The document as the file holds it now; parsed again only when the file changed.
    std::shared_ptr<const Snapshot> Current(const fs::path& path) {
        // Stamp before reading: if the file changes in between, the next stamp differs from the
        // kept one and the file is read again, so a stale copy never outlives a change.
        const FileStamp stamp = StampOf(path);
        {
            std::lock_guard lock(mutex);
            if (snapshot && snapshot->stamp == stamp) return snapshot;
        }
        auto fresh = std::make_shared<Snapshot>();
        fresh->stamp = stamp;
        std::string bytes;
        if (stamp.exists && ReadWholeFile(path, bytes, nullptr))
            fresh->document = IniDocument::Parse(bytes);
        else
            fresh->stamp = FileStamp{};  // unreadable reads as empty, and is tried again
        std::lock_guard lock(mutex);
        snapshot = fresh;
        return fresh;
    }

    void Forget() {
        std::lock_guard lock(mutex);
        snapshot.reset();
    }
};

IniFile::IniFile(fs::path path, IniOptions options)
    : path_(std::move(path)), options_(options), cache_(std::make_unique<Cache>()) {}

IniFile::~IniFile() = default;

IniFile::IniFile(const IniFile& other)
    : path_(other.path_), options_(other.options_), cache_(std::make_unique<Cache>()) {}

IniFile& IniFile::operator=(const IniFile& other) {
    if (this != &other) {
        path_ = other.path_;
        options_ = other.options_;
        cache_ = std::make_unique<Cache>();
    }
    return *this;
}

IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

std::string IniFile::Shape(std::string_view raw) const {
    if (options_.unquote && raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') &&
        raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    if (options_.maxValueChars != 0) raw = FirstCharacters(raw, options_.maxValueChars);
    return std::string(raw);
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    if (!cache_) return std::nullopt;  // moved-from
    const auto snapshot = cache_->Current(path_);
    const auto raw = snapshot->document.Find(section, key);
    if (!raw) return std::nullopt;
    std::string value = Shape(*raw);
    if (options_.endMarkerReadsEmpty && value == kEndMarker) return std::nullopt;
    return value;
}

std::string IniFile::Read(std::string_view section, std::string_view key) const {
    return Find(section, key).value_or(std::string());
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSection(
    std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    if (!cache_) return entries;
    const auto snapshot = cache_->Current(path_);
    for (const auto& [key, raw] : snapshot->document.Entries(section)) {
        std::string value = Shape(raw);
        if (options_.endMarkerReadsEmpty && value == kEndMarker) value.clear();
        entries.emplace_back(std::string(key), std::move(value));
    }
    return entries;
}

bool IniFile::Write(std::string_view section, std::string_view key, std::string_view value,
                    std::string* error) {
    if (!cache_) cache_ = std::make_unique<Cache>();
    // Read afresh: a file that exists but cannot be read must not be replaced by one entry.
    IniDocument document;
    std::error_code ec;
    if (fs::exists(path_, ec)) {
        std::string bytes;
        if (!ReadWholeFile(path_, bytes, error)) return false;
        document = IniDocument::Parse(bytes);
    } else if (ec) {
        if (error) *error = "Cannot reach \"" + path_.string() + "\": " + ec.message();
        return false;
    }
    if (!document.Set(section, key, value)) {
        if (error)
            *error =
                "Cannot store this entry in a settings file: a name is empty or "
                "holds a line end, '=' or ']', or the value holds a line end";
        return false;
    }
    const bool written = WriteFileAtomically(path_, document.Text(), error);
    cache_->Forget();
    return written;
}

}  // namespace retracer
