// A scope in which the calling thread's character-type locale is UTF-8.
#pragma once

namespace pelmo {

// Libraries that convert text through the C library's current locale (libarchive
// converting stored member names) produce UTF-8 inside this scope, whatever the
// user's environment says. Only this thread's locale changes; the process-wide
// one is left alone.
class Utf8LocaleScope {
public:
    Utf8LocaleScope();
    ~Utf8LocaleScope();
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

    // False when the host offers no UTF-8 locale; the thread's locale is then unchanged.
    bool active() const { return locale_ != nullptr; }

private:
    // locale_t values, kept opaque so that no POSIX header reaches the engine.
    void* locale_ = nullptr;
    void* previous_ = nullptr;
};

}  // namespace pelmo
