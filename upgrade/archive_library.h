// The LHA archive library as the program calls it, and our component behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/staged_view.h"

namespace pelmo {

// The three entry points the program uses, by the library's ordinals.
class ArchiveLibrary {
public:
    virtual ~ArchiveLibrary() = default;
    // Ordinal 6 and ordinal 8: mode settings, called with 0 and 1 before the
    // first extraction. Results are not examined.
    virtual int SetMode6(int value) = 0;
    virtual int SetMode8(int value) = 0;
    // Ordinal 1: carries out one command line in the run's view `files`. 0 on
    // success; otherwise nonzero with a text for the user in `output`, at most
    // outputSize - 1 bytes (code page 932, never a split character).
    virtual int Execute(StagedView& files, std::string_view commandLine, std::string& output,
                        std::size_t outputSize) = 0;

    // How far an extraction has got: bytes of the archive read, of its size.
    // Reported while Execute works, until another (or an empty) one is set; a
    // library that reports nothing may ignore it.
    using Progress = std::function<void(std::uint64_t read, std::uint64_t size)>;
    virtual void SetProgress(Progress progress) { Progress ignored = std::move(progress); }
};

// Our component on libarchive, with lhasa's library for what libarchive cannot
// read: `e -mcw<windows folder> "<archive>" "<target folder>"` extracts every
// regular member into the target folder without stored folder names, replacing
// files of the same name.
class LhaComponent : public ArchiveLibrary {
public:
    int SetMode6(int) override { return 0; }
    int SetMode8(int) override { return 0; }
    int Execute(StagedView& files, std::string_view commandLine, std::string& output, std::size_t outputSize) override;
    void SetProgress(Progress progress) override { progress_ = std::move(progress); }

private:
    Progress progress_;
};

// The command line of one extraction: e -mcw<windowsFolder> "<archive>" "<target>".
std::string BuildExtractCommand(std::string_view windowsFolder, std::string_view archivePath,
                                std::string_view targetFolder);

}  // namespace pelmo
