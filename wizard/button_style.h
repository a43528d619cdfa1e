// Push buttons as the system's users know them: the default button ringed in the
// text colour, the focused one with a dotted rectangle inside, so that the two
// never look alike.
#pragma once

class QPushButton;

namespace pelmo {

// Draws `button` in that style (on top of the application's own).
void UseButtonStyle(QPushButton& button);

}  // namespace pelmo
