#pragma once

// Temporary files and test data paths that work natively and under Wine.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define VORLEX_TEST_PID _getpid()
#else
#include <unistd.h>
#define VORLEX_TEST_PID getpid()
#endif

namespace datatest {

// A path in the system's temp folder, unique to this process; any old file is removed.
inline std::string TempPath(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vorlex_data_tests";
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / (std::to_string(VORLEX_TEST_PID) + "_" + name);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return path.string();
}

// VORLEX_TEST_DATA_DIR is a Linux path; Wine shows the Linux root as drive Z:.
inline std::string DataPath(const std::string& relative) {
#ifdef _WIN32
    return std::string("Z:") + VORLEX_TEST_DATA_DIR + "/" + relative;
#else
    return std::string(VORLEX_TEST_DATA_DIR) + "/" + relative;
#endif
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

inline void Remove(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace datatest
