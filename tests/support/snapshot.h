// Test support: a host folder's tree recorded entry by entry, to compare states of a machine.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace pelmo::test {

// Relative path -> what the entry is: kind and mode bits, a file's bytes, a link's
// target. Times are left out: runs stamp files with times of their own. Links are
// recorded, never followed.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const std::filesystem::path& root);

// One line per entry that differs ("changed KORIMU/a.ini"), for failure messages.
std::string Differences(const Snapshot& before, const Snapshot& after);

}  // namespace pelmo::test
