#include "glyphs/file.h"

#include <climits>
#include <cstdio>

#include "support/fixed_string.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
namespace {
int OpenDescriptor(const char* path, int flags) { return _open(path, flags | _O_BINARY, _S_IREAD | _S_IWRITE); }
int ReadDescriptor(int fd, void* buffer, unsigned count) { return _read(fd, buffer, count); }
int WriteDescriptor(int fd, const void* buffer, unsigned count) { return _write(fd, buffer, count); }
int CloseDescriptor(int fd) { return _close(fd); }
long SeekDescriptor(int fd, long offset, int whence) { return _lseek(fd, offset, whence); }
constexpr int kReadFlags = _O_RDONLY;
constexpr int kWriteFlags = _O_WRONLY | _O_CREAT | _O_TRUNC;
}  // namespace
#else
#include <fcntl.h>
#include <unistd.h>
namespace {
int OpenDescriptor(const char* path, int flags) { return ::open(path, flags, 0666); }
int ReadDescriptor(int fd, void* buffer, unsigned count) { return static_cast<int>(::read(fd, buffer, count)); }
int WriteDescriptor(int fd, const void* buffer, unsigned count) { return static_cast<int>(::write(fd, buffer, count)); }
int CloseDescriptor(int fd) { return ::close(fd); }
long SeekDescriptor(int fd, long offset, int whence) {
    const off_t position = ::lseek(fd, offset, whence);
    return position > LONG_MAX ? -1 : static_cast<long>(position);
}
constexpr int kReadFlags = O_RDONLY;
constexpr int kWriteFlags = O_WRONLY | O_CREAT | O_TRUNC;
}  // namespace
#endif

File::File(const char* path, int32_t mode) { Open(path, mode); }

File::File(const FixedString& path, int32_t mode) { Open(path.Text(), mode); }

File::~File() { Close(); }

// Opening for writing truncates: a log or picture always starts from an empty file.
void File::Open(const char* path, int32_t mode) {
    mode_ = kModeClosed;
    if (path == nullptr || (mode != kModeRead && mode != kModeWrite)) return;
    descriptor_ = OpenDescriptor(path, mode == kModeRead ? kReadFlags : kWriteFlags);
    if (descriptor_ >= 0) mode_ = mode;
}

int32_t File::Read(void* buffer, int32_t count) { return Read(buffer, count, nullptr); }

// Reads until count bytes have arrived or the file ends; a short count is not an error.
int32_t File::Read(void* buffer, int32_t count, int32_t* received) {
    if (received != nullptr) *received = 0;
    if (mode_ == kModeClosed) return kFailed;
    if (mode_ == kModeWrite) return kNotWritable;
    if (descriptor_ < 0 || count < 0 || (buffer == nullptr && count > 0)) return kFailed;
    int32_t total = 0;
    while (total < count) {
        const int got = ReadDescriptor(descriptor_, static_cast<char*>(buffer) + total, count - total);
        if (got < 0) return kFailed;
        if (got == 0) break;
        total += got;
    }
    if (received != nullptr) *received = total;
    return kDone;
}

int32_t File::Write(const void* buffer, int32_t count) {
    if (mode_ == kModeClosed) return kFailed;
    if (mode_ == kModeRead) return kNotReadable;
    if (descriptor_ < 0 || count < 0 || (buffer == nullptr && count > 0)) return kFailed;
    int32_t total = 0;
    while (total < count) {
        const int put = WriteDescriptor(descriptor_, static_cast<const char*>(buffer) + total, count - total);
        if (put <= 0) return kFailed;
        total += put;
    }
    return kDone;
}

int32_t File::Close() {
    if (descriptor_ >= 0) {
        CloseDescriptor(descriptor_);
        descriptor_ = -1;
    }
    return 0;
}

int32_t File::Seek(int32_t offset, int whence) {
    if (mode_ == kModeClosed || descriptor_ < 0) return -1;
    const long position = SeekDescriptor(descriptor_, offset, whence);
    return position < 0 || position > INT32_MAX ? -1 : static_cast<int32_t>(position);
}

int32_t File::SeekFromStart(int32_t offset) { return Seek(offset, SEEK_SET); }
int32_t File::SeekFromCurrent(int32_t offset) { return Seek(offset, SEEK_CUR); }
int32_t File::SeekFromEnd(int32_t offset) { return Seek(offset, SEEK_END); }
