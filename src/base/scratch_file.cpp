#include "base/scratch_file.h"

#include <cerrno>
#include <chrono>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "base/file_lookup.h"

namespace fs = std::filesystem;

namespace retracer {
namespace {

void SetError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

// A name for the moment between creating the file and removing its name.
fs::path ShortLivedName(const fs::path& folder, unsigned attempt) {
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    return folder /
           (".retracer-scratch-" + std::to_string(ticks) + "-" + std::to_string(attempt) + ".tmp");
}

constexpr unsigned kCreateAttempts = 64;

}  // namespace

ScratchFile::~ScratchFile() {
    Close();
}

#ifdef _WIN32

bool ScratchFile::IsOpen() const {
    return handle_ != nullptr;
}

bool ScratchFile::Create(const fs::path& folder, std::string* error) {
    Close();
    const fs::path where = folder.empty() ? fs::path(".") : folder;
    DWORD code = 0;
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        HANDLE file = CreateFileW(
            ShortLivedName(where, attempt).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
            CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = file;
            folder_ = where;
            size_ = 0;
            return true;
        }
        code = GetLastError();
        if (code != ERROR_FILE_EXISTS) break;
    }
    SetError(error, "Cannot create a temporary file in " + QuotedPath(where) + ": " +
                        std::system_category().message(static_cast<int>(code)));
    return false;
}

bool ScratchFile::Append(std::string_view bytes, std::string* error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), bytes.data() + done, chunk, &written,
                       nullptr)) {
            SetError(error, "Cannot write a temporary file in " + QuotedPath(folder_) + ": " +
                                std::system_category().message(static_cast<int>(GetLastError())));
            return false;
        }
        done += written;
        size_ += written;
    }
    return true;
}

bool ScratchFile::ReadBack(const std::function<bool(std::string_view)>& sink, std::string* error,
                           std::size_t pieceSize) const {
    const std::unique_ptr<char[]> buffer(new char[pieceSize]);
    std::uint64_t at = 0;
    while (at < size_) {
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(pieceSize, size_ - at));
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(handle_), buffer.get(), want, &got, &position) ||
            got == 0) {
            SetError(error, "Cannot read back a temporary file in " + QuotedPath(folder_));
            return false;
        }
        if (!sink(std::string_view(buffer.get(), got))) return false;
        at += got;
    }
    return true;
}

void ScratchFile::Close() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    size_ = 0;
}

#else

bool ScratchFile::IsOpen() const {
    return fd_ >= 0;
}

bool ScratchFile::Create(const fs::path& folder, std::string* error) {
    Close();
    const fs::path where = folder.empty() ? fs::path(".") : folder;
    int fd = -1;
#ifdef O_TMPFILE
    // A file that never has a name.
    fd = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd < 0) {
        // File systems without nameless files: a hidden name, removed at once.
        for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
            const fs::path name = ShortLivedName(where, attempt);
            fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                ::unlink(name.c_str());
                break;
            }
            if (errno != EEXIST) break;
        }
    }
    if (fd < 0) {
        SetError(error, "Cannot create a temporary file in " + QuotedPath(where) + ": " +
                            std::generic_category().message(errno));
        return false;
    }
    fd_ = fd;
    folder_ = where;
    size_ = 0;
    return true;
}

bool ScratchFile::Append(std::string_view bytes, std::string* error) {
    if (fd_ < 0) {
        SetError(error, "Cannot write a temporary file: it is not open");
        return false;
    }
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(error, "Cannot write a temporary file in " + QuotedPath(folder_) + ": " +
                                std::generic_category().message(errno));
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
        size_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool ScratchFile::ReadBack(const std::function<bool(std::string_view)>& sink, std::string* error,
                           std::size_t pieceSize) const {
    if (fd_ < 0) {
        SetError(error, "Cannot read back a temporary file: it is not open");
        return false;
    }
    const std::unique_ptr<char[]> buffer(new char[pieceSize]);
    std::uint64_t at = 0;
    while (at < size_) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, size_ - at));
        const ssize_t n = ::pread(fd_, buffer.get(), want, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetError(error, "Cannot read back a temporary file in " + QuotedPath(folder_) + ": " +
                                (n < 0 ? std::generic_category().message(errno)
                                       : std::string("it is shorter than written")));
            return false;
        }
        if (!sink(std::string_view(buffer.get(), static_cast<std::size_t>(n)))) return false;
        at += static_cast<std::uint64_t>(n);
    }
    return true;
}

void ScratchFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

#endif

}  // namespace retracer
