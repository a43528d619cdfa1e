// The material master files: size and type conversions, line by line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/staged_view.h"

namespace pelmo {

// The line rules: what one master file line becomes (without its line end).
std::string ConvertSizeLine(std::string_view line);
std::string ConvertTypeLine(std::string_view line);

// The master folder is "MASTER" of section "DIR" in the settings file; its
// subfolders "1\" and then "21\" (only when the first succeeded) are converted.
// 1 on success, 0 on failure.
int ConvertMaterialSize(StagedView& files, std::string_view iniPath);
int ConvertMaterialType(StagedView& files, std::string_view iniPath);

// Every "zai???-3.mst" of one folder, each staged as a new version. A file that
// cannot be converted stops the folder with 0; it and the files after it stay
// as they were.
int ConvertMaterialSizeInFolder(StagedView& files, std::string_view folder);
int ConvertMaterialTypeInFolder(StagedView& files, std::string_view folder);

// Names of the plain files matching `pattern` (folder + wildcard name), in the
// search's order, at most 1000.
int ListMatchingFiles(const FileView& files, std::vector<std::string>& table, std::string_view pattern);

}  // namespace pelmo
