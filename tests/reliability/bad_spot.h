// Test support: a bad spot on a disk, where reads of one file fail with an I/O error.
#pragma once

#include <cstdint>
#include <filesystem>

namespace pelmo::test {

// While a scope lives, every read() of the host file `path` that reaches
// `offset` fails with EIO; the bytes before it read as usual. Other files are
// untouched.
class BadSpot {
public:
    BadSpot(const std::filesystem::path& path, std::uint64_t offset);
    ~BadSpot();
    BadSpot(const BadSpot&) = delete;
    BadSpot& operator=(const BadSpot&) = delete;
};

}  // namespace pelmo::test
