// Reading info.txt: 21 fixed lines, then one entry line per file.
#include "package/package_info.h"

#include "platform/letter_case.h"
#include "platform/runtime.h"
#include "platform/streams.h"
#include "platform/text.h"
#include "res/strings.h"

namespace pelmo {

bool PackageEntry::isStart() const
{
    return isArchive() && SplitPath(fileName).baseName == GetText(Text::StartArchive);
}

namespace {

constexpr int kFixedLines = info_line::kFixedCount;
constexpr int kMaxLineBreaks = 100;

// The fixed lines in file order.
std::array<std::string*, kFixedLines> FixedFields(PackageInfo& info)
{
    return {&info.productKeys[0],     &info.productKeys[1],   &info.productKeys[2],   &info.productKeys[3],
            &info.productKeys[4],     &info.installFolder,    &info.requiredVersion,  &info.masterAdjustFlag,
            &info.systemIniName,      &info.digitizerFlag,    &info.mainPicture,      &info.startPicture,
            &info.destinationPicture, &info.confirmPicture,   &info.startNotes,       &info.destinationNotes,
            &info.titleKeywords[0],   &info.titleKeywords[1], &info.titleKeywords[2], &info.titleKeywords[3],
            &info.titleKeywords[4]};
}

// Feeds lines to the reader in order: the fixed fields first, then entries.
class LineSink {
public:
    explicit LineSink(PackageInfo& info) : info_(info), fixed_(FixedFields(info))
    {
        // A line beyond the end of the file leaves its field empty.
        for (std::string* field : fixed_)
            field->clear();
        info_.entries.clear();
    }

    void Take(std::string_view line)
    {
        if (lineNumber_ < kFixedLines) {
            fixed_[lineNumber_++]->assign(line);
            return;
        }
        // A blank line is no entry: info.txt commonly ends with one.
        if (!IsBlankEntryLine(line))
            info_.entries.push_back(ParseEntryLine(line));
    }

    void Finish()
    {
        ConvertTabsToLineBreaks(info_.startNotes);
        ConvertTabsToLineBreaks(info_.destinationNotes);
    }

private:
    PackageInfo& info_;
    std::array<std::string*, kFixedLines> fixed_;
    int lineNumber_ = 0;
};

}  // namespace

bool IsBlankEntryLine(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

PackageEntry ParseEntryLine(std::string_view line)
{
    // Fields end at a comma; anything from a fifth comma on is ignored. Blanks are
    // part of the field they stand in. A missing field is empty, never the value
    // of an earlier line.
    std::array<std::string_view, 4> fields;
    std::size_t start = 0;
    for (std::size_t field = 0; field < fields.size() && start <= line.size(); ++field) {
        std::size_t comma = line.find(',', start);
        std::size_t end = comma == std::string_view::npos ? line.size() : comma;
        fields[field] = line.substr(start, end - start);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    PackageEntry entry;
    entry.disk = Atoi(fields[0]);
    entry.kind = Atoi(fields[1]);
    entry.fileName = UpperCase(fields[2], CaseRule::Package);
    entry.targetSubfolder = std::string(fields[3]);
    return entry;
}

void ConvertTabsToLineBreaks(std::string& text)
{
    std::size_t from = 0;
    for (int count = 0; count < kMaxLineBreaks; ++count) {
        std::size_t tab = text.find('\t', from);
        if (tab == std::string::npos)
            return;
        text[tab] = '\r';
        if (tab + 1 < text.size())
            text[tab + 1] = '\n';
        from = tab + 2;
    }
}

int LoadPackageInfo(const Machine& machine, std::string_view sourceFolder, PackageInfo& info)
{
    std::string path = std::string(sourceFolder) + GetText(Text::InfoTxt);
    auto file = InputFile::Open(DiskView(machine), path);
    if (!file) {
        info.entries.clear();
        return 0;
    }
    TextReader reader(std::move(*file));
    LineSink sink(info);
    std::string line;
    while (reader.ReadLine(line))
        sink.Take(line);
    sink.Finish();
    return 1;
}

}  // namespace pelmo
