#include "TextFunctions.h"

#include <algorithm>

#include <cwctype>
#include <locale.h>

namespace vkdb {

namespace {

// Decodes UTF-8; a malformed byte stands for itself so that no text is ever lost.
std::u32string decode(const std::string &s)
{
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + size_t(len) > s.size()) {
            out += char32_t(c);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1f) : len == 3 ? (c & 0x0f) : (c & 0x07);
        bool good = true;
        for (int k = 1; k < len; ++k) {
            const unsigned char d = s[i + size_t(k)];
            if ((d & 0xc0) != 0x80) {
                good = false;
                break;
            }
            cp = (cp << 6) | (d & 0x3f);
        }
        if (!good) {
            out += char32_t(c);
            ++i;
            continue;
        }
        out += cp;
        i += size_t(len);
    }
    return out;
}

void encode(char32_t cp, std::string &out)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xc0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += char(0xe0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3f));
        out += char(0x80 | (cp & 0x3f));
    } else {
        out += char(0xf0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3f));
        out += char(0x80 | ((cp >> 6) & 0x3f));
        out += char(0x80 | (cp & 0x3f));
    }
}

locale_t utf8Locale()
{
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", locale_t(nullptr));
    }();
    return loc;
}

char32_t upper(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    return char32_t(towupper_l(wint_t(c), utf8Locale()));
}

} // namespace

std::string upperCaseUtf8(const std::string &text)
{
    bool ascii = true;
    for (unsigned char c : text)
        ascii = ascii && c < 0x80;
    std::string out;
    out.reserve(text.size());
    if (ascii) {
        for (char c : text)
            out += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
        return out;
    }
    for (char32_t cp : decode(text))
        encode(upper(cp), out);
    return out;
}

namespace {

bool isAscii(const std::string &s)
{
    for (const unsigned char ch : s)
        if (ch >= 0x80)
            return false;
    return true;
}

char asciiUpper(char ch)
{
    return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch;
}

} // namespace

bool containsText(const std::string &text, const std::string &needle, bool caseSensitive)
{
    if (caseSensitive)
        return text.find(needle) != std::string::npos;
    // Plain ASCII on both sides (most titles and searches) is compared in place; anything else
    // is upper-cased over every script first, where one letter may change its length.
    if (isAscii(needle) && isAscii(text))
        return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                           [](char a, char b) { return asciiUpper(a) == asciiUpper(b); }) != text.end();
    return upperCaseUtf8(text).find(upperCaseUtf8(needle)) != std::string::npos;
}

} // namespace vkdb
