// Code page 932 program text to and from Qt strings.
#include "wizard/display_text.h"

#include "platform/text.h"

namespace pelmo {

QString ToDisplay(std::string_view cp932)
{
    return QString::fromStdString(Cp932ToUtf8Lossy(cp932));
}

std::string FromDisplay(const QString& text)
{
    return Utf8ToCp932Lossy(text.toStdString());
}

QString NotesToDisplay(std::string_view cp932)
{
    QString text = ToDisplay(cp932);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.remove(QLatin1Char('\r'));
    return text;
}

}  // namespace pelmo
