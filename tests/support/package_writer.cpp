// Test support: packages (info.txt in code page 932) and installed systems on host folders.
#include "tests/support/package_writer.h"

#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo::test {

std::vector<std::string> PackageLines(const PackageText& package)
{
    std::vector<std::string> lines(package.productKeys.begin(), package.productKeys.end());
    for (const std::string* field :
         {&package.installFolder, &package.requiredVersion, &package.masterAdjustFlag, &package.systemIniName,
          &package.digitizerFlag, &package.mainPicture, &package.startPicture, &package.destinationPicture,
          &package.confirmPicture, &package.startNotes, &package.destinationNotes})
        lines.push_back(*field);
    lines.insert(lines.end(), package.titleKeywords.begin(), package.titleKeywords.end());
    lines.insert(lines.end(), package.entries.begin(), package.entries.end());
    return lines;
}

void WritePackage(const fs::path& folder, const PackageText& package)
{
    std::string text;
    for (const std::string& line : PackageLines(package))
        text += Sjis(line) + "\r\n";
    WriteHostFile(folder / "info.txt", text);
}

void InstallSystem(const fs::path& folder, const std::string& version)
{
    WriteHostFile(folder / "korimu1.ini", "[SYSTEM]\r\nVERSION=" + version + "\r\nTITLE=" + Sjis("テスト") + "\r\n");
    WriteHostFile(folder / "ko2menu.ini", "[MENU]\r\n");
    WriteHostFile(folder / "ko1menu.ini", "[MENU]\r\n");
    WriteHostFile(folder / "formater.exe", "MZ");
}

}  // namespace pelmo::test
