// Test support: makes reading or writing one file's status fail on the host.
#pragma once

#include <filesystem>

namespace pelmo::test {

// While a scope lives, every stat() (or chmod()) of the host file `path` fails:
// stat() as if the file were not there, chmod() with an I/O error. Every other
// file is untouched.
class StatFailure {
public:
    explicit StatFailure(const std::filesystem::path& path);
    ~StatFailure();
    StatFailure(const StatFailure&) = delete;
    StatFailure& operator=(const StatFailure&) = delete;
};

class ChmodFailure {
public:
    explicit ChmodFailure(const std::filesystem::path& path);
    ~ChmodFailure();
    ChmodFailure(const ChmodFailure&) = delete;
    ChmodFailure& operator=(const ChmodFailure&) = delete;
};

}  // namespace pelmo::test
