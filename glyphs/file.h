#pragma once

#include <cstdint>

class FixedString;

// Binary file over the runtime's descriptor-level calls. No translation, no buffering;
// every outcome is a small number.
class File {
public:
    static constexpr int32_t kModeClosed = 0;
    static constexpr int32_t kModeRead = 1;
    static constexpr int32_t kModeWrite = 2;

    // Result codes of Read and Write.
    static constexpr int32_t kDone = 0;
    static constexpr int32_t kNotReadable = 1;  // Write on a file open for reading
    static constexpr int32_t kNotWritable = 2;  // Read on a file open for writing
    static constexpr int32_t kFailed = 3;       // not open, or the runtime reported an error

    // Mode 1 opens for reading, mode 2 creates or empties the file and opens it for
    // writing; any other mode opens nothing. The mode is 0 when the open failed.
    File(const char* path, int32_t mode);
    File(const FixedString& path, int32_t mode);
    ~File();

    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int32_t OpenError() const { return mode_ == kModeClosed ? kFailed : kDone; }
    int32_t Mode() const { return mode_; }

    // Reading at the end of the file is not an error: the rest of the buffer is left as
    // it was. The second form also tells how many bytes arrived.
    int32_t Read(void* buffer, int32_t count);
    int32_t Read(void* buffer, int32_t count, int32_t* received);
    int32_t Write(const void* buffer, int32_t count);

    // Closes the descriptor (once; the destructor will not close it again). The mode is
    // left as it was; later reads and writes fail with 3.
    int32_t Close();

    // The new position from the start of the file, or -1.
    int32_t SeekFromStart(int32_t offset);
    int32_t SeekFromCurrent(int32_t offset);
    int32_t SeekFromEnd(int32_t offset);

private:
    void Open(const char* path, int32_t mode);
    int32_t Seek(int32_t offset, int whence);

    int32_t mode_ = kModeClosed;
    int32_t descriptor_ = -1;
};
