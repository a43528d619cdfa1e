// info.txt: the description's fixed lines, then a line for each entry placed.
#include "upgrade/pack/builder.h"

#include "platform/output_file.h"

namespace pelmo::pack {

// Room kept on disk 1 for info.txt before the entries are placed: the
// longest it can be.
std::uint64_t Builder::InfoTxtBound() const
{
    std::uint64_t size = 0;
    for (const std::string& line : description_.fixedLines)
        size += line.size() + 2;
    for (const PackEntry& entry : description_.entries)
        size += 2 + 1 + 1 + 1 + entry.name.size() + 1 + entry.target.size() + 2;  // disk numbers up to 99
    return size;
}

std::string Builder::InfoTxtLine(const PackEntry& entry, int disk) const
{
    return std::to_string(disk) + (entry.kind == PackEntryKind::Copy ? ",0," : ",1,") + entry.name + "," +
           entry.target + "\r\n";
}

bool Builder::WriteInfoTxt(const std::string& entryLines)
{
    std::string info;
    for (const std::string& line : description_.fixedLines)
        info += line + "\r\n";
    info += entryLines;
    auto file = OutputFile::Create(machine_, DiskFolder(1) + "info.txt");
    if (!file || !file->Append(info) || !file->Close(newestTime_)) {
        result_.description.Error(0, "cannot write info.txt");
        return false;
    }
    return true;
}

}  // namespace pelmo::pack
