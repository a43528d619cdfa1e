// Test support: temporary folders and machines built in them.
#include "tests/support/test_machine.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace pelmo::test {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "pelmo-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Read-only files and folders left by a test must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::error_code ignored;
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ec);
}

void WriteHostFile(const fs::path& file, std::string_view bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::string ReadHostFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string Sjis(std::string_view utf8)
{
    auto converted = Utf8ToCp932(utf8);
    EXPECT_TRUE(converted.has_value()) << "not expressible in code page 932: " << utf8;
    return converted.value_or("");
}

TestMachine::TestMachine()
{
    fs::create_directories(root_.path() / "dosdevices");
    fs::create_directories(driveC() / "windows");
    fs::create_symlink("../drive_c", root_.path() / "dosdevices" / "c:");
}

void TestMachine::MapDrive(char letter, const fs::path& hostFolder)
{
    fs::create_directories(hostFolder);
    fs::path link = root_.path() / "dosdevices" / (std::string(1, static_cast<char>(std::tolower(letter))) + ":");
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(hostFolder, link);
}

fs::path TestMachine::AddDrive(char letter)
{
    fs::path folder = root_.path() / (std::string("drive_") + static_cast<char>(std::tolower(letter)));
    MapDrive(letter, folder);
    return folder;
}

fs::path TestMachine::InFolder(std::string_view windowsPath)
{
    std::string rest(windowsPath.substr(std::min<std::size_t>(3, windowsPath.size())));
    std::replace(rest.begin(), rest.end(), '\\', '/');
    const fs::path drive = (std::string("drive_") + static_cast<char>(std::tolower(windowsPath.at(0))));
    return rest.empty() ? drive : drive / rest;
}

void TestMachine::SetRegistry(std::string_view systemReg)
{
    WriteHostFile(root_.path() / "system.reg", systemReg);
}

TestStage::TestStage(const Machine& machine) : machine_(machine)
{
    Open();
}

void TestStage::Open()
{
    StageOpening opening = StageOpening::Failed;
    stage_ = Stage::Open(home_.path(), opening);
    if (!stage_)
        throw std::runtime_error("cannot open a stage in " + home_.path().string());
    view_.emplace(machine_, *stage_);
}

bool TestStage::Commit()
{
    view_.reset();
    const bool committed = stage_->Commit() == CommitResult::Committed;
    Open();
    return committed;
}

Machine TestMachine::Load() const
{
    std::string error;
    auto machine = Machine::Load(root_.path(), &error);
    if (!machine)
        throw std::runtime_error(error);
    return *machine;
}

}  // namespace pelmo::test
