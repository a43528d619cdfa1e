// The installed system's folder as the product's Uninstall entry names it.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace pelmo {

// Reads "UninstallString" of the first Uninstall key among `productKeys` that
// exists ("NULL" ends the list; a key without the value ends it too) and turns it
// into a folder without its trailing backslash. Nothing when no key gives one, so
// the caller keeps the folder it proposed.
std::optional<std::string> FindUninstallFolder(const Registry& registry, const std::array<std::string, 5>& productKeys);

// Replaces an uninstall command such as `A.EXE -fD:\APP\LOG.DAT -c1` by the drive
// and folder of the file after " -f" ("D:\APP\"). A path quoted right after " -f"
// is taken without its quotes. 1 when " -f" was found, else 0 with `text` unchanged.
int ParseUninstallString(std::string& text);

}  // namespace pelmo
