// The check of info.txt's lines: encoding, the fixed fields and the entry lines as written.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime.h"
#include "platform/text.h"
#include "res/check_texts.h"
#include "upgrade/check/check_context.h"

namespace pelmo {
namespace {

bool IsWellFormedUtf8(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        if (DecodeUtf8(text, pos) == 0xFFFD && text.substr(start, pos - start) != "\xEF\xBF\xBD")
            return false;
    }
    return true;
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool HasBlanksAround(std::string_view text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return !text.empty() && (blank(text.front()) || blank(text.back()));
}

// A sign and digits, nothing else: the only form that reads as it looks.
bool IsPlainNumber(std::string_view text)
{
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether atoi finds a digit: after blanks and a sign, before anything else.
bool ReadsDigits(std::string_view text)
{
    std::size_t pos = text.find_first_not_of(" \t\n\v\f\r");
    if (pos != std::string_view::npos && (text[pos] == '-' || text[pos] == '+'))
        ++pos;
    return pos < text.size() && text[pos] >= '0' && text[pos] <= '9';
}

// One finding at most, for text that atoi reads differently than it looks; false
// when the text holds no number at all.
bool CheckNumber(Findings& findings, int line, std::string_view what, std::string_view text)
{
    if (IsPlainNumber(text))
        return true;
    if (!ReadsDigits(text)) {
        findings.Error(line, FormatCheckText(CheckText::NoNumber, {what, Shown(text)}));
        return false;
    }
    findings.Warn(line, FormatCheckText(CheckText::NumberWithExtra, {what, Shown(text), std::to_string(Atoi(text))}));
    return true;
}

void CheckEncoding(CheckContext& context)
{
    const auto& lines = context.lines;
    const bool anyNonAscii = std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return !IsAscii(l); });
    const bool allUtf8 =
        std::all_of(lines.begin(), lines.end(), [](const std::string& l) { return IsWellFormedUtf8(l); });
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int line = static_cast<int>(i) + 1;
        // Japanese text saved as UTF-8 is the usual mistake; one finding says it
        // better than one per line.
        if (anyNonAscii && allUtf8) {
            if (!IsAscii(lines[i])) {
                context.findings.Error(line, FormatCheckText(CheckText::SavedAsUtf8, {Shown(lines[i])}));
                return;
            }
            continue;
        }
        if (!Cp932ToUtf8(lines[i]))
            context.findings.Error(line, FormatCheckText(CheckText::NotCp932, {Shown(lines[i])}));
    }
}

void CheckFlag(Findings& findings, int line, std::string_view what, std::string_view text, CheckText notOne)
{
    if (text == "0" || text == "1")
        return;
    const int value = Atoi(text);
    if (value == 0 || value == 1) {
        if (ReadsDigits(text))
            findings.Warn(line,
                          FormatCheckText(CheckText::NumberWithExtra, {what, Shown(text), std::to_string(value)}));
        else
            findings.Warn(line, FormatCheckText(CheckText::NoNumber, {what, Shown(text)}));
        return;
    }
    findings.Warn(line, FormatCheckText(notOne, {what, Shown(text), std::to_string(value)}));
}

void CheckFixedFields(CheckContext& context)
{
    const auto& lines = context.lines;
    if (lines.size() < static_cast<std::size_t>(info_line::kFixedCount)) {
        const int last = static_cast<int>(lines.size());
        context.findings.Error(
            last, FormatCheckText(CheckText::TooFewLines, {std::to_string(last), std::to_string(last + 1)}));
        return;
    }
    CheckNumber(context.findings, info_line::kRequiredVersion, "the required version",
                lines[info_line::kRequiredVersion - 1]);
    // Any value but 0 gives the start dialog the caption that promises the adjustment.
    CheckFlag(context.findings, info_line::kMasterAdjustFlag, "the master adjustment flag",
              lines[info_line::kMasterAdjustFlag - 1], CheckText::MasterFlagNotOne);
    CheckFlag(context.findings, info_line::kDigitizerFlag, "the digitizer flag", lines[info_line::kDigitizerFlag - 1],
              CheckText::FlagNotZeroOrOne);
}

std::vector<std::string_view> SplitAtCommas(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

void CheckKind(Findings& findings, int line, std::string_view text)
{
    const int kind = Atoi(text);
    if (kind == 0 || kind == PackageEntry::kArchiveKind) {
        if (!IsPlainNumber(text))
            CheckNumber(findings, line, "the kind", text);
        return;
    }
    findings.Warn(line, FormatCheckText(CheckText::UnknownKind, {Shown(text), std::to_string(kind)}));
}

void CheckEntryLine(Findings& findings, const NumberedEntry& numbered)
{
    const int line = numbered.line;
    const std::vector<std::string_view> fields = SplitAtCommas(numbered.text);
    if (fields.size() < 3) {
        findings.Error(line, FormatCheckText(CheckText::EntryTooFewFields, {std::to_string(fields.size())}));
        return;
    }
    if (fields.size() == 3)
        findings.Warn(line, FormatCheckText(CheckText::EntryNoTarget));
    if (fields.size() > 4) {
        const std::size_t fourthComma = fields[0].size() + fields[1].size() + fields[2].size() + fields[3].size() + 4;
        findings.Warn(line, FormatCheckText(CheckText::EntryExtraText, {Shown(numbered.text.substr(fourthComma))}));
    }
    if (CheckNumber(findings, line, "the disk number", fields[0]) && Atoi(fields[0]) < 1)
        findings.Error(line, FormatCheckText(CheckText::DiskBelowOne, {std::to_string(Atoi(fields[0]))}));
    CheckKind(findings, line, fields[1]);

    if (fields[2].empty())
        findings.Error(line, FormatCheckText(CheckText::NoFileName));
    else if (HasBlanksAround(fields[2]))
        findings.Warn(line, FormatCheckText(CheckText::BlanksAroundName, {"the file name", Shown(fields[2])}));
    const std::string& target = numbered.entry.targetSubfolder;
    if (HasBlanksAround(target))
        findings.Warn(line, FormatCheckText(CheckText::BlanksAroundName, {"the target folder", Shown(target)}));
    // A plain file's name is appended to the target directly.
    const SplitPathResult targetParts = SplitPath(target);
    if (!numbered.entry.isArchive() && !(targetParts.baseName + targetParts.extension).empty()) {
        const SplitPathResult file = SplitPath(numbered.entry.fileName);
        findings.Error(line, FormatCheckText(CheckText::TargetWithoutBackslash,
                                             {Shown(target), Shown(target + file.baseName + file.extension)}));
    }
}

void CheckEntryLines(CheckContext& context)
{
    for (const NumberedEntry& numbered : context.entries)
        CheckEntryLine(context.findings, numbered);
    // A blank line before the last entry looks like the end of the list.
    const int lastEntryLine = context.entries.empty() ? 0 : context.entries.back().line;
    for (int line = info_line::kFixedCount + 1; line < lastEntryLine; ++line)
        if (IsBlankEntryLine(context.lines[static_cast<std::size_t>(line) - 1]))
            context.findings.Warn(line, FormatCheckText(CheckText::EntryBlankLine));
}

}  // namespace

void CheckInfoLines(CheckContext& context)
{
    CheckEncoding(context);
    CheckFixedFields(context);
    CheckEntryLines(context);
}

}  // namespace pelmo
