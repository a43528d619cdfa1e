// pelmo-master FOLDER: the size conversion, then the type conversion, of every
// master file in one folder, for timing against awk and cp. Exit status 0 when
// both succeeded.
#include <iostream>

#include "bench/bench_cli.h"
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
    const std::string prefix = *folder + "\\";
    if (pelmo::ConvertMaterialSizeInFolder(machine, prefix) != 1) {
        std::cerr << "pelmo-master: size conversion failed\n";
        return 1;
    }
    if (pelmo::ConvertMaterialTypeInFolder(machine, prefix) != 1) {
        std::cerr << "pelmo-master: type conversion failed\n";
        return 1;
    }
    return 0;
}
