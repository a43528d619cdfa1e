// The check of what the wizard shows from the package: pictures, notes and the folder.
#include <cstdlib>
#include <string>

#include "picture/dib_file.h"
#include "platform/streams.h"
#include "platform/text.h"
#include "res/check_texts.h"
#include "res/dialog_templates.h"
#include "upgrade/check/check_context.h"
#include "upgrade/check/dialog_measure.h"

namespace pelmo {
namespace {

// The main picture fills the screen, whatever its size; these are the smallest
// and the largest screens it is likely to meet.
constexpr PixelSize kSmallestScreen{640, 480};
constexpr PixelSize kLargestScreen{1920, 1200};
// Stretched by more than this in either direction, a picture loses its look.
constexpr int kStretchLimit = 2;

std::string Dimensions(PixelSize size)
{
    return std::to_string(size.width) + " × " + std::to_string(size.height);
}

bool MuchSmaller(PixelSize picture, PixelSize area)
{
    return picture.width * kStretchLimit < area.width || picture.height * kStretchLimit < area.height;
}

bool MuchLarger(PixelSize picture, PixelSize area)
{
    return picture.width > area.width * kStretchLimit || picture.height > area.height * kStretchLimit;
}

struct PictureUse {
    int line;
    const std::string* name;
    int dialogId;  // 0: the main window
    const char* where;
};

void CheckPicture(CheckContext& context, const DialogMeasure& measure, const PictureUse& use)
{
    if (use.name->empty())
        return;
    Findings& findings = context.findings;
    const std::string shownName = Shown(*use.name);
    // Pictures are read from the package folder, the first disk.
    const std::string path = context.packageFolder + *use.name;
    if (!InputFile::Open(DiskView(context.machine), path)) {
        findings.Error(use.line, FormatCheckText(CheckText::PictureMissing, {shownName}));
        return;
    }
    DibBlock block;
    if (ReadDibFile(context.machine, path, block) != 1) {
        findings.Error(use.line, FormatCheckText(CheckText::PictureUnreadable, {shownName}));
        return;
    }
    const DibHeader header = block.header();
    const PixelSize picture{std::abs(header.width), std::abs(header.height)};
    PixelSize smallest = kSmallestScreen, largest = kLargestScreen;
    std::string smallArea = std::string("the whole screen, ") + Dimensions(smallest) + " or more";
    std::string largeArea = std::string("the whole screen, ") + Dimensions(largest) + " or less";
    if (use.dialogId != 0) {
        smallest = largest = measure.ControlSize(use.dialogId, IDC_PICTURE);
        smallArea = largeArea = std::string("the ") + use.where + "'s frame of " + Dimensions(smallest);
    }
    if (MuchSmaller(picture, smallest))
        findings.Warn(use.line,
                      FormatCheckText(CheckText::PictureTooSmall, {shownName, Dimensions(picture), smallArea}));
    else if (MuchLarger(picture, largest))
        findings.Warn(use.line,
                      FormatCheckText(CheckText::PictureTooLarge, {shownName, Dimensions(picture), largeArea}));
}

// As the notes box shows it: CR LF breaks a line, a CR alone breaks none.
std::string NotesAsShown(std::string_view cp932)
{
    std::string shown;
    const std::string utf8 = Shown(cp932);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r') {
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                shown += '\n', ++i;
            continue;
        }
        shown += utf8[i];
    }
    return shown;
}

// The notes on one line of a diagnostic, their line breaks written "\n".
std::string NotesOnOneLine(std::string_view cp932)
{
    std::string line;
    for (char c : NotesAsShown(cp932))
        line += c == '\n' ? std::string("\\n") : std::string(1, c);
    return line;
}

void CheckNotes(CheckContext& context, const DialogMeasure& measure, int line, const std::string& notes, int dialogId,
                const char* dialog)
{
    Findings& findings = context.findings;
    // A line that is no code page 932 as written is reported with the encoding.
    const bool writtenWell = Cp932ToUtf8(context.lines[static_cast<std::size_t>(line) - 1]).has_value();
    if (writtenWell && !Cp932ToUtf8(notes))
        findings.Error(line, FormatCheckText(CheckText::NotesBrokenCharacter, {NotesOnOneLine(notes)}));
    if (notes.find('\t') != std::string::npos)
        findings.Warn(line, FormatCheckText(CheckText::NotesTooManyBreaks));
    const Fit fit = measure.NotesLines(dialogId, NotesAsShown(notes));
    if (fit.needed > fit.room)
        findings.Warn(line, FormatCheckText(CheckText::NotesOverflow,
                                            {std::to_string(fit.needed), dialog, std::to_string(fit.room)}));
}

}  // namespace

void CheckDialogs(CheckContext& context, const DialogMeasure& measure)
{
    if (context.lines.size() < static_cast<std::size_t>(info_line::kDestinationNotes))
        return;
    const PackageInfo& info = context.info;
    const PictureUse pictures[] = {
        {info_line::kMainPicture, &info.mainPicture, 0, "main window"},
        {info_line::kMainPicture + 1, &info.startPicture, IDD_START, "start dialog"},
        {info_line::kMainPicture + 2, &info.destinationPicture, IDD_DESTINATION, "destination dialog"},
        {info_line::kMainPicture + 3, &info.confirmPicture, IDD_CONFIRM, "confirmation dialog"},
    };
    for (const PictureUse& use : pictures)
        CheckPicture(context, measure, use);
    CheckNotes(context, measure, info_line::kStartNotes, info.startNotes, IDD_START, "start dialog");
    CheckNotes(context, measure, info_line::kDestinationNotes, info.destinationNotes, IDD_DESTINATION,
               "destination dialog");
    // The registry's folder usually replaces it, but the one written here is the
    // one shown when the registry has none.
    const Fit folder = measure.LineWidth(IDD_CONFIRM, IDC_NOTES, Shown(info.installFolder));
    if (folder.needed > folder.room)
        context.findings.Warn(
            info_line::kInstallFolder,
            FormatCheckText(CheckText::FolderTooWide,
                            {Shown(info.installFolder), std::to_string(folder.needed), std::to_string(folder.room)}));
}

}  // namespace pelmo
