// pelmo-extract [--commit] ARCHIVE FOLDER: our archive component as one command,
// for timing against bsdtar and lhasa. It extracts through a run's view over a
// stage in the folder above FOLDER. The stage is only discarded, as a dry run's
// is, so nothing is flushed and the files go again; with --commit it is
// committed, so that the files stay for a comparison. Exit status: the
// component's result, or 1 when no stage can be opened or the commit fails.
#include <filesystem>
#include <iostream>
#include <string_view>

#include "bench/bench_cli.h"
#include "platform/stage/staging.h"
#include "platform/staged_view.h"
#include "platform/text.h"
#include "upgrade/archive_library.h"

int main(int argc, char* argv[])
{
    const bool commit = argc == 4 && std::string_view(argv[1]) == "--commit";
    if (argc != 3 && !commit) {
        std::cerr << "usage: pelmo-extract [--commit] ARCHIVE FOLDER\n";
        return 64;
    }
    const char* archivePath = argv[argc - 2];
    const char* folderPath = argv[argc - 1];
    const pelmo::Machine machine = pelmo::Machine::BuiltIn();
    const auto archive = pelmo::bench::WindowsPath(machine, archivePath);
    const auto folder = pelmo::bench::WindowsPath(machine, folderPath);
    if (!archive || !folder) {
        std::cerr << "pelmo-extract: no such archive or folder\n";
        return 64;
    }
    std::filesystem::path host = std::filesystem::absolute(folderPath).lexically_normal();
    if (!host.has_filename())
        host = host.parent_path();
    pelmo::StageOpening opening = pelmo::StageOpening::Failed;
    const auto stage = pelmo::Stage::Open(host.parent_path(), opening);
    if (!stage) {
        std::cerr << "pelmo-extract: the folder above cannot be staged\n";
        return 1;
    }
    if (!commit)
        stage->MarkDiscardOnly();
    pelmo::StagedView files(machine, *stage);
    pelmo::LhaComponent component;
    std::string output;
    const int result = component.Execute(
        files, pelmo::BuildExtractCommand(machine.GetWindowsDirectory(), *archive, *folder + "\\"), output, 256);
    if (result != 0)
        std::cerr << "pelmo-extract: " << pelmo::Cp932ToUtf8Lossy(output) << '\n';
    if (commit && result == 0 && stage->Commit() != pelmo::CommitResult::Committed) {
        std::cerr << "pelmo-extract: commit failed\n";
        return 1;
    }
    return result;
}
