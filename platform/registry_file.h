// Inside the registry: how key paths and names are kept, shared by the system.reg
// reader and the queries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelmo {

// The form names are stored and looked up under: upper-cased, in UTF-8.
std::string LookupName(std::u16string_view name);

// Splits at '\' and drops empty components, so "\A\\B\" names the key A\B.
std::vector<std::u16string> SplitKeyPath(std::u16string_view path);

}  // namespace pelmo
