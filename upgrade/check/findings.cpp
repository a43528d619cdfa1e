// What the package check found.
#include "upgrade/check/findings.h"

#include <algorithm>
#include <ostream>

namespace pelmo {

void Findings::add(int line, Severity severity, std::string text)
{
    findings_.push_back({line, severity, std::move(text)});
}

std::vector<Finding> Findings::Sorted() const
{
    std::vector<Finding> sorted = findings_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return sorted;
}

CheckStatus Findings::Status() const
{
    CheckStatus status = kCheckClean;
    for (const Finding& finding : findings_)
        status = std::max(status, finding.severity == Severity::Error ? kCheckErrors : kCheckWarnings);
    return status;
}

void Findings::Print(std::ostream& out) const
{
    for (const Finding& finding : Sorted())
        out << FormatFinding(finding) << '\n';
}

std::string FormatFinding(const Finding& finding)
{
    std::string text = "info.txt:";
    if (finding.line > 0)
        text += std::to_string(finding.line) + ":";
    text += finding.severity == Severity::Error ? " error: " : " warning: ";
    return text + finding.text;
}

}  // namespace pelmo
