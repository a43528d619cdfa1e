// Test support: master files of the installed system, before and after the size conversion.
#pragma once

#include <string>

namespace pelmo::test {

// `records` size records of 186 bytes (the 67th byte goes) each followed by a
// type record, in CRLF lines.
std::string OldMaster(int records);
// The same file as the size conversion writes it.
std::string SizeConvertedMaster(int records);

}  // namespace pelmo::test
