#pragma once

// Temporary files and test data, natively and under Wine.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifdef _WIN32
#define VORLEX_TEST_ROOT "Z:"  // Wine's drive for the Linux root
#else
#define VORLEX_TEST_ROOT ""
#endif

namespace datatest {

// This process's own folder (ctest runs several at once), removed with all in it at the end.
inline const std::filesystem::path kTempDir =
    std::filesystem::temp_directory_path() / ("vorlex_tests_" + std::to_string(std::random_device()()));
inline struct TempDirRemover {
    ~TempDirRemover() { std::filesystem::remove_all(kTempDir, ignored); }
    std::error_code ignored;
} kTempDirRemover;

inline std::string TempPath(const std::string& name) {
    std::filesystem::create_directories(kTempDir);
    const std::string path = (kTempDir / name).string();
    std::remove(path.c_str());
    return path;
}

inline std::string DataPath(const std::string& relative) {
    return VORLEX_TEST_ROOT VORLEX_TEST_DATA_DIR "/" + relative;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

}  // namespace datatest
