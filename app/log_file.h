// The host file that --log names.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

namespace pelmo {

// Makes sure the file can be written before the run starts, so that a bad name
// stops nothing half-way. False after a line for the user on `err`.
bool PrepareLogFile(const std::filesystem::path& file, std::ostream& err);
// Writes the whole log; false after a line for the user on `err`.
bool WriteLogFile(const std::filesystem::path& file, const std::string& text, std::ostream& err);

}  // namespace pelmo
