// Private-profile (.ini) files on Windows-form paths: read whole through a
// view, edited as bytes (profile.cpp), written back staged.
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/streams.h"
#include "platform/text.h"

namespace pelmo {
namespace {

// '/' and ':' are never trail bytes; '\' (0x5C) can be, so characters are
// stepped over whole.
bool HasFolderPart(std::string_view file)
{
    for (std::size_t pos = 0; pos < file.size(); pos += CharLength(file, pos)) {
        const char c = file[pos];
        if (c == '\\' || c == '/' || c == ':') {
            return true;
        }
    }
    return false;
}

std::string ProfilePath(const Machine& machine, std::string_view file)
{
    if (HasFolderPart(file)) {
        return std::string(file);
    }
    return machine.GetWindowsDirectory() + "\\" + std::string(file);
}

}  // namespace

std::string GetPrivateProfileString(const FileView& files, std::string_view file, std::string_view section,
                                    std::string_view key, std::string_view defaultValue, std::size_t size)
{
    const std::optional<std::string> bytes = ReadWholeFile(files, ProfilePath(files.machine(), file));
    std::optional<std::string_view> view;
    if (bytes) {
        view = *bytes;
    }
    return LookupProfileString(view, section, key, defaultValue, size);
}

bool WritePrivateProfileString(StagedView& files, std::string_view file, std::string_view section, std::string_view key,
                               std::string_view value)
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    value = TrimBlanks(value);
    if (!IsStorable(section, key, value)) {
        return false;
    }
    const std::string path = ProfilePath(files.machine(), file);
    std::optional<std::string> bytes;
    bool readOnly = false;
    if (Access(files, path, 0) == 0) {
        readOnly = Access(files, path, 2) != 0;
        bytes = ReadWholeFile(files, path);
        if (!bytes) {
            return false;
        }
        if (!FitsEncoding(*bytes, section, key, value)) {
            return false;
        }
    }
    std::optional<std::string_view> view;
    if (bytes) {
        view = *bytes;
    }
    const std::optional<std::string> edited = EditProfileString(view, section, key, value);
    if (!edited) {
        return true;  // already stored, also in a read-only file
    }
    if (readOnly) {
        return false;
    }
    std::optional<ReplacementFile> replacement = ReplacementFile::Create(files, path);
    if (!replacement || !replacement->Write(*edited) || !replacement->Finish()) {
        return false;
    }
    // The plan names each key with its old and new value.
    constexpr std::size_t kWholeValue = std::string::npos;
    files.NoteSettings(*files.ToHost(path), std::string(section), std::string(key),
                       LookupProfileString(view, section, key, "", kWholeValue), std::string(value));
    return true;
}

}  // namespace pelmo
