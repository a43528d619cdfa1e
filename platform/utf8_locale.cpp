// A scope in which the calling thread's character-type locale is UTF-8.
#include "platform/utf8_locale.h"

#include <locale.h>

namespace pelmo {

Utf8LocaleScope::Utf8LocaleScope()
{
    // "C.UTF-8" is built into glibc 2.35 and later, so it does not depend on
    // which locales the host has generated.
    locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    if (utf8 == nullptr)
        return;
    locale_ = utf8;
    previous_ = ::uselocale(utf8);
}

Utf8LocaleScope::~Utf8LocaleScope()
{
    if (locale_ == nullptr)
        return;
    ::uselocale(static_cast<locale_t>(previous_));
    ::freelocale(static_cast<locale_t>(locale_));
}

}  // namespace pelmo
