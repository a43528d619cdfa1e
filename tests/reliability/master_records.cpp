// Test support: master files of the installed system, before and after the size conversion.
#include "tests/reliability/master_records.h"

namespace pelmo::test {
namespace {

std::string Build(int records, bool converted)
{
    std::string text;
    for (int i = 0; i < records; ++i) {
        const std::string tail(119, static_cast<char>('a' + i % 26));
        text += "400400000107" + std::string(54, 's') + (converted ? "" : "X") + tail + "\r\n";
        text += "0123456789ABCAtype " + std::to_string(i) + "\r\n";
    }
    return text;
}

}  // namespace

std::string OldMaster(int records)
{
    return Build(records, false);
}

std::string SizeConvertedMaster(int records)
{
    return Build(records, true);
}

}  // namespace pelmo::test
