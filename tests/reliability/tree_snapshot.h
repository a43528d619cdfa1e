// Test support: every entry of a host folder's tree recorded, to show what a run changed.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pelmo::test {

class TreeSnapshot {
public:
    // Links are recorded as links, never followed.
    static TreeSnapshot Take(const std::filesystem::path& root);

    // One line per entry added, removed or changed since this snapshot ("added
    // drive_c/X"), leaving out the entries at or below `excluded` (relative paths).
    std::vector<std::string> ChangesTo(const TreeSnapshot& later, const std::vector<std::string>& excluded) const;

    // The entries below `folder` (relative), by their path from it: "file" for a
    // regular file, otherwise the kind ("link", "folder", "device", ...).
    std::map<std::string, std::string> KindsBelow(const std::string& folder) const;

private:
    // Relative path -> what the entry is: its kind, mode bits, and for a file its
    // content and time, for a link its target.
    std::map<std::string, std::string> entries_;
    std::map<std::string, std::string> kinds_;
};

}  // namespace pelmo::test
