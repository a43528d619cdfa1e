// pelmo-extract ARCHIVE FOLDER: our archive component as one command, for timing
// against bsdtar and lhasa. Exit status: the component's result.
#include <iostream>

#include "bench/bench_cli.h"
#include "platform/text.h"
#include "upgrade/archive_library.h"

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::cerr << "usage: pelmo-extract ARCHIVE FOLDER\n";
        return 64;
    }
    const pelmo::Machine machine = pelmo::Machine::BuiltIn();
    const auto archive = pelmo::bench::WindowsPath(machine, argv[1]);
    const auto folder = pelmo::bench::WindowsPath(machine, argv[2]);
    if (!archive || !folder) {
        std::cerr << "pelmo-extract: no such archive or folder\n";
        return 64;
    }
    pelmo::LhaComponent component(machine);
    std::string output;
    const int result =
        component.Execute(pelmo::BuildExtractCommand(machine.GetWindowsDirectory(), *archive, *folder + "\\"),
                          output, 256);
    if (result != 0)
        std::cerr << "pelmo-extract: " << pelmo::Cp932ToUtf8Lossy(output) << '\n';
    return result;
}
