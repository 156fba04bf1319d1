#include "utils/CharFilter.h"

void CharFilter::include(const std::string& s) {
    for (char c : s)
        accepted[index(c)] = true;
}

void CharFilter::include(bool (*f)(char)) {
    for (int v = -128; v <= 127; ++v)
        if (f(static_cast<char>(v)))
            accepted[v & 0xFF] = true;
}

void CharFilter::include(int (*f)(int)) {
    // The <cctype> functions are defined only for unsigned char values (and
    // EOF), so each byte is passed as such.
    for (int v = -128; v <= 127; ++v)
        if (f(v & 0xFF) != 0)
            accepted[v & 0xFF] = true;
}

void CharFilter::exclude(const char* s) {
    for (; *s != '\0'; ++s)
        accepted[index(*s)] = false;
}

void CharFilter::exclude(const std::string& s) {
    for (char c : s)
        accepted[index(c)] = false;
}

void CharFilter::exclude(bool (*f)(char)) {
    for (int v = -128; v <= 127; ++v)
        if (f(static_cast<char>(v)))
            accepted[v & 0xFF] = false;
}

void CharFilter::exclude(const CharFilter& other) {
    for (size_t i = 0; i < 256; ++i)
        accepted[i] = accepted[i] && !other.accepted[i];
}

CharFilter& CharFilter::invert() {
    for (bool& a : accepted)
        a = !a;
    return *this;
}

CharFilter CharFilter::operator|=(const CharFilter& other) {
    include(other);
    return *this;
}

CharFilter CharFilter::operator&=(const CharFilter& other) {
    for (size_t i = 0; i < 256; ++i)
        accepted[i] = accepted[i] && other.accepted[i];
    return *this;
}

bool CharFilter::accept(const std::string& s) const {
    return accept(s.data(), s.size());
}

bool CharFilter::accept(const char* data, unsigned long length) const {
    if (length == 0)
        return false;
    for (unsigned long i = 0; i < length; ++i)
        if (!accepted[index(data[i])])
            return false;
    return true;
}

bool CharFilter::accept(const char* s) const {
    if (*s == '\0')
        return false;
    for (; *s != '\0'; ++s)
        if (!accepted[index(*s)])
            return false;
    return true;
}
