// pelmo-master FOLDER: the size conversion, then the type conversion, of every
// master file in one folder, staged and committed as an upgrade run does it: the
// stage is that of the folder above (the installed system's), so the commit keeps
// the replaced files as backups in its PELMOBAK. Exit status 0 when both
// conversions succeeded and the commit went through.
#include <iostream>

#include "bench/bench_cli.h"
#include "platform/stage/staging.h"
#include "platform/staged_view.h"
#include "upgrade/master_files.h"

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::cerr << "usage: pelmo-master FOLDER\n";
        return 64;
    }
    const pelmo::Machine machine = pelmo::Machine::BuiltIn();
    const auto folder = pelmo::bench::WindowsPath(machine, argv[1]);
    if (!folder) {
        std::cerr << "pelmo-master: no such folder\n";
        return 64;
    }
    pelmo::StageOpening opening = pelmo::StageOpening::Failed;
    std::filesystem::path host = std::filesystem::absolute(argv[1]).lexically_normal();
    if (!host.has_filename())
        host = host.parent_path();  // "MASTER/" names MASTER
    const auto stage = pelmo::Stage::Open(host.parent_path(), opening);
    if (!stage || stage->Recover() == pelmo::Recovery::Failed) {
        std::cerr << "pelmo-master: the folder above cannot be staged\n";
        return 1;
    }
    {
        pelmo::StagedView files(machine, *stage);
        const std::string prefix = *folder + "\\";
        if (pelmo::ConvertMaterialSizeInFolder(files, prefix) != 1) {
            std::cerr << "pelmo-master: size conversion failed\n";
            return 1;
        }
        if (pelmo::ConvertMaterialTypeInFolder(files, prefix) != 1) {
            std::cerr << "pelmo-master: type conversion failed\n";
            return 1;
        }
    }
    if (stage->Commit() != pelmo::CommitResult::Committed) {
        std::cerr << "pelmo-master: commit failed\n";
        return 1;
    }
    return 0;
}
