#include "base/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/file_lookup.h"

namespace fs = std::filesystem;

namespace retracer {
namespace {

void SetError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

std::string Reason(int errorNumber) {
    return std::generic_category().message(errorNumber);
}

// A hidden name beside the target that no other writer picks at the same moment: the target's
// own name (shortened so the result stays within file-name limits), then a tag made of the
// process, the thread, the clock and the attempt. Creation uses exclusive mode, so a clash only
// costs another attempt.
fs::path TemporaryBeside(const fs::path& target, unsigned attempt) {
    constexpr std::size_t kMaxNameBytes = 96;
    std::string name = target.filename().string();
    if (name.size() > kMaxNameBytes) name.resize(kMaxNameBytes);
#ifdef _WIN32
    const std::uint64_t process = GetCurrentProcessId();
#else
    const std::uint64_t process = static_cast<std::uint64_t>(::getpid());
#endif
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::uint64_t thread = std::hash<std::thread::id>{}(std::this_thread::get_id());
    std::uint64_t tag = process * 0x9E3779B97F4A7C15ull ^ ticks ^ (thread << 1) ^ attempt;
    char hex[17];
    for (int i = 15; i >= 0; --i) {
        hex[i] = "0123456789abcdef"[tag & 0xF];
        tag >>= 4;
    }
    hex[16] = '\0';
    return target.parent_path() / ("." + name + "." + hex + ".tmp");
}

constexpr unsigned kCreateAttempts = 64;

using Producer = std::function<bool(const ContentSink&)>;

#ifdef _WIN32

std::string WindowsReason(DWORD code) {
    return std::system_category().message(static_cast<int>(code));
}

bool WriteAndReplace(const fs::path& target, const Producer& produce, std::string* error) {
    HANDLE file = INVALID_HANDLE_VALUE;
    fs::path temporary;
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        temporary = TemporaryBeside(target, attempt);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        SetError(error, "Cannot create a temporary file beside " + QuotedPath(target) + ": " +
                            WindowsReason(GetLastError()));
        return false;
    }
    auto fail = [&](const std::string& what, DWORD code) {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        DeleteFileW(temporary.c_str());
        SetError(error, what + " " + QuotedPath(target) + ": " + WindowsReason(code));
        return false;
    };
    DWORD writeError = 0;
    const ContentSink sink = [&](std::string_view content) {
        std::size_t done = 0;
        while (writeError == 0 && done < content.size()) {
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file, content.data() + done, chunk, &written, nullptr))
                writeError = GetLastError();
            done += written;
        }
        return writeError == 0;
    };
    if (!produce(sink) || writeError != 0)
        return fail("Cannot write the new content of",
                    writeError != 0 ? writeError : ERROR_CANCELLED);
    if (!FlushFileBuffers(file)) return fail("Cannot flush the new content of", GetLastError());
    const bool closed = CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    if (!closed) return fail("Cannot close the new content of", GetLastError());
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail("Cannot replace", GetLastError());
    return true;
}

#else

bool WriteAll(int fd, std::string_view content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced is no reason to fail.
void SyncFolder(const fs::path& folder) {
    const fs::path name = folder.empty() ? fs::path(".") : folder;
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool WriteAndReplace(const fs::path& target, const Producer& produce, std::string* error) {
    int fd = -1;
    fs::path temporary;
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        temporary = TemporaryBeside(target, attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) break;
    }
    if (fd < 0) {
        SetError(error, "Cannot create a temporary file beside " + QuotedPath(target) + ": " +
                            Reason(errno));
        return false;
    }
    auto fail = [&](const std::string& what, int errorNumber) {
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        SetError(error, what + " " + QuotedPath(target) + ": " + Reason(errorNumber));
        return false;
    };

    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);  // best effort: keep who may read the file

    int writeError = 0;
    const ContentSink sink = [&](std::string_view content) {
        if (writeError == 0 && !WriteAll(fd, content)) writeError = errno;
        return writeError == 0;
    };
    if (!produce(sink) || writeError != 0)
        return fail("Cannot write the new content of", writeError != 0 ? writeError : ECANCELED);
    if (::fsync(fd) != 0) return fail("Cannot flush the new content of", errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return fail("Cannot close the new content of", errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail("Cannot replace", errno);
    SyncFolder(target.parent_path());
    return true;
}

#endif

}  // namespace

bool WriteFileAtomically(const fs::path& target, std::string_view content, std::string* error) {
    return WriteFileAtomically(
        target, [content](const ContentSink& sink) { return sink(content); }, error);
}

bool WriteFileAtomically(const fs::path& target, const Producer& produce, std::string* error) {
    // A NUL would end the name early at the system call, so another file would be written.
    if (target.empty() || !target.has_filename() ||
        target.native().find(fs::path::value_type{}) != fs::path::string_type::npos) {
        SetError(error, "Cannot write " + QuotedPath(target) + ": not a file name");
        return false;
    }
    // A link stays a link: the file it points to is the one replaced.
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) return WriteAndReplace(resolved, produce, error);
    }
    return WriteAndReplace(target, produce, error);
}

bool ReadWholeFile(const fs::path& path, std::string& bytes, std::string* error) {
    bytes.clear();
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        SetError(error, "Cannot read " + QuotedPath(path) + ": it is a folder");
        return false;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int cause = errno;
        SetError(error, "Cannot open " + QuotedPath(path) + ": " +
                            (cause != 0 ? Reason(cause) : std::string("unknown reason")));
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        bytes.clear();
        SetError(error, "Cannot read " + QuotedPath(path));
        return false;
    }
    return true;
}

}  // namespace retracer
