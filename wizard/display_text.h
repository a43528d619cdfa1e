// Code page 932 program text to and from the Qt strings that widgets show.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace pelmo {

// What code page 932 cannot express shows as '?'.
QString ToDisplay(std::string_view cp932);
std::string FromDisplay(const QString& text);

// Notes hold CR LF line breaks; a widget wants '\n'. A CR without its LF breaks
// no line, as in an edit control, and is dropped.
QString NotesToDisplay(std::string_view cp932);

}  // namespace pelmo
