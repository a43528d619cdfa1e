// How the wizard lays out the package's texts and pictures, asked by the check.
#pragma once

#include <string_view>

namespace pelmo {

struct PixelSize {
    int width = 0;
    int height = 0;
};

// What a text needs against what its control has room for.
struct Fit {
    int needed = 0;
    int room = 0;
};

// Measured in the dialogs' font at 96 dots per inch, the size package authors
// design for. Only the font needs a windowing toolkit, so the check itself stays
// free of one.
class DialogMeasure {
public:
    virtual ~DialogMeasure() = default;
    // The client area of control `controlId` of dialog template `dialogId`.
    virtual PixelSize ControlSize(int dialogId, int controlId) const = 0;
    // Lines `utf8` ('\n' breaks lines) takes in the dialog's multi-line notes box,
    // wrapped to its width, against the lines the box shows without scrolling.
    virtual Fit NotesLines(int dialogId, std::string_view utf8) const = 0;
    // Pixels one line of text takes in a one-line control, against its width.
    virtual Fit LineWidth(int dialogId, int controlId, std::string_view utf8) const = 0;
};

}  // namespace pelmo
