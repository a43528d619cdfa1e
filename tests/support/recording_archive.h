// Test support: an archive library that records each call and answers as told.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "upgrade/archive_library.h"

namespace pelmo::test {

class RecordingArchive : public ArchiveLibrary {
public:
    int SetMode6(int value) override { return Record("mode6 " + std::to_string(value)); }
    int SetMode8(int value) override { return Record("mode8 " + std::to_string(value)); }
    int Execute(StagedView&, std::string_view commandLine, std::string& output, std::size_t outputSize) override
    {
        Record(std::string(commandLine) + " (" + std::to_string(outputSize) + ")");
        if (progress_)
            progress_(reported.first, reported.second);
        output = failureText;
        return failureText.empty() ? 0 : 1;
    }

    void SetProgress(Progress progress) override { progress_ = std::move(progress); }
    bool reporting() const { return bool(progress_); }

    std::vector<std::string> calls;  // "mode6 0", or the command line with the output size
    std::string failureText;         // when not empty, Execute fails with it
    std::pair<std::uint64_t, std::uint64_t> reported{1, 2};  // bytes read of the archive's size: halfway

private:
    Progress progress_;
    int Record(std::string call)
    {
        calls.push_back(std::move(call));
        return 0;
    }
};

}  // namespace pelmo::test
