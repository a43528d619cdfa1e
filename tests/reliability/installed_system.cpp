// Test support: a small machine with an installed korimu1.ini system and a package folder.
#include "tests/reliability/installed_system.h"

#include "upgrade/archive_library.h"
#include "upgrade/upgrade_run.h"

namespace pelmo::test {

const char* const kInstalledSettings =
    "[SYSTEM]\r\nVERSION=2\r\nTITLE=ｺﾘﾑ ﾌﾟﾛ\r\n\r\n"
    "[DIR]\r\nMASTER=C:\\KORIMU\\MASTER\\\r\nWAV=C:\\KORIMU\\WAV\\\r\n";

void InstalledSystem::Install() const
{
    WriteHostFile(System() / "korimu1.ini", Sjis(kInstalledSettings));
    WriteHostFile(System() / "ko2menu.ini", "[MENU]\r\n");
    WriteHostFile(System() / "formater.exe", "MZ");
    std::filesystem::create_directories(Package());
}

const Machine& InstalledSystem::machine()
{
    if (!loaded_)
        loaded_ = std::make_unique<Machine>(machine_.Load());
    return *loaded_;
}

PackageInfo InstalledSystem::Info(std::vector<PackageEntry> entries)
{
    PackageInfo info;
    info.installFolder = "C:\\KORIMU";
    info.systemIniName = "korimu1.ini";
    info.requiredVersion = "2";
    info.masterAdjustFlag = "0";
    info.digitizerFlag = "0";
    info.titleKeywords = {Sjis("ﾍﾞｰｼｯｸ"), Sjis("ﾌﾟﾛ"), Sjis("ﾗｲﾄ"), Sjis("ﾜｲﾄﾞ"), Sjis("ﾐﾆ")};
    info.entries = std::move(entries);
    return info;
}

int InstalledSystem::Run(PackageInfo& info, RecordingPrompter& prompter)
{
    LhaComponent archive(machine());
    return RunUpgrade(machine(), prompter, archive, info, kPackageFolder);
}

ShownMessage Confirm(std::string utf8Text)
{
    return {std::move(utf8Text), "確認", MB_OK};
}

ShownMessage Succeeded()
{
    return Confirm("システムは正常に更新されました。");
}

}  // namespace pelmo::test
