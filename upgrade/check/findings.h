// What the package check found: diagnostics by line of info.txt, and the exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pelmo {

enum class Severity { Warning, Error };

struct Finding {
    int line = 0;  // line of info.txt; 0 for the file as a whole
    Severity severity = Severity::Warning;
    std::string text;  // UTF-8
};

// Exit statuses of `pelmo check`.
enum CheckStatus : int {
    kCheckClean = 0,
    kCheckWarnings = 1,
    kCheckErrors = 2,
};

class Findings {
public:
    void Warn(int line, std::string text) { add(line, Severity::Warning, std::move(text)); }
    void Error(int line, std::string text) { add(line, Severity::Error, std::move(text)); }

    // In line order; findings of one line in the order they were made.
    std::vector<Finding> Sorted() const;
    CheckStatus Status() const;
    // One line each: "info.txt:LINE: error: text", or "info.txt: error: text" for line 0.
    void Print(std::ostream& out) const;

private:
    void add(int line, Severity severity, std::string text);
    std::vector<Finding> findings_;
};

std::string FormatFinding(const Finding& finding);

}  // namespace pelmo
