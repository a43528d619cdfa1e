// Test support: packages (info.txt in code page 932) and installed systems on host folders.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace pelmo::test {

// The 21 lines of info.txt and the entry lines, written in UTF-8 here and stored
// in code page 932 with CR LF line ends.
struct PackageText {
    std::array<std::string, 5> productKeys{"Pelmo Test", "NULL", "", "", ""};
    std::string installFolder = "C:\\KORIMU";
    std::string requiredVersion = "3";
    std::string masterAdjustFlag = "0";
    std::string systemIniName = "korimu1.ini";
    std::string digitizerFlag = "0";
    std::string mainPicture = {};
    std::string startPicture = {};
    std::string destinationPicture = {};
    std::string confirmPicture = {};
    std::string startNotes = {};
    std::string destinationNotes = {};
    std::array<std::string, 5> titleKeywords{"テスト", "KIND2", "KIND3", "KIND4", "KIND5"};
    std::vector<std::string> entries = {};
};
void WritePackage(const std::filesystem::path& folder, const PackageText& package);
// The lines of info.txt in UTF-8, as WritePackage writes them.
std::vector<std::string> PackageLines(const PackageText& package);

// korimu1.ini (VERSION and TITLE), the menu files and formater.exe.
void InstallSystem(const std::filesystem::path& folder, const std::string& version = "3");

}  // namespace pelmo::test
