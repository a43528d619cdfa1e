// Fuzz target: an .lzh archive extracted by our archive component into one folder,
// through libarchive and, for what libarchive leaves unread, lhasa's library.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "fuzz/fuzz_machine.h"
#include "platform/stage/staging.h"
#include "platform/staged_view.h"
#include "upgrade/archive_library.h"

namespace fs = std::filesystem;

namespace {

using pelmo::fuzz::FuzzMachine;
using pelmo::fuzz::Require;

// Every path below the fuzz root, links not followed.
std::set<fs::path> ListTree(const fs::path& root)
{
    std::set<fs::path> paths;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        paths.insert(it->path());
    Require(!ec, "the fuzz folder can be listed");
    return paths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzMachine& fuzz = FuzzMachine::Get();
    const fs::path target = fuzz.driveC() / "out";
    FuzzMachine::WriteHostFile(fuzz.driveC() / "in" / "DISK1.LZH",
                               std::string_view(reinterpret_cast<const char*>(data), size));
    std::error_code ec;
    fs::create_directories(target, ec);
    FuzzMachine::EmptyHostFolder(target);
    const std::set<fs::path> before = ListTree(fuzz.root());

    // Through a run's view over a stage that is only discarded, as a dry run's:
    // its run folder lies outside the fuzz root, and nothing is flushed.
    pelmo::StageOpening opening = pelmo::StageOpening::Failed;
    const std::unique_ptr<pelmo::Stage> stage = pelmo::Stage::Open(fuzz.stageHome(), opening);
    Require(stage != nullptr, "the fuzz stage opens");
    stage->MarkDiscardOnly();
    pelmo::StagedView files(fuzz.machine(), *stage);
    pelmo::LhaComponent component;
    std::string output;
    const int result =
        component.Execute(files, pelmo::BuildExtractCommand("C:\\windows", "C:\\in\\disk1", "C:\\out\\"), output, 256);
    Require(result == 0 ? output.empty() : !output.empty(), "a failure, and only a failure, is explained");
    Require(output.size() < 256, "the explanation fits the output buffer");

    // Only plain files appear (work files, staged), and only right inside the target folder.
    const std::set<fs::path> after = ListTree(fuzz.root());
    for (const fs::path& path : after) {
        if (before.contains(path))
            continue;
        Require(path.parent_path() == target, "an extraction writes only into its target folder");
        Require(fs::is_regular_file(fs::symlink_status(path, ec)), "an extraction writes only plain files");
    }
    Require(std::includes(after.begin(), after.end(), before.begin(), before.end()), "an extraction removes nothing");
    stage->Discard();
    Require(ListTree(fuzz.root()) == before, "a discarded extraction leaves nothing behind");
    return 0;
}
