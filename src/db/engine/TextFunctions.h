// Text functions of the dialect that SQLite lacks: UCase() over every script, and
// the containment test behind "match" and "case match".
#pragma once

#include <string>

namespace vkdb {

std::string upperCaseUtf8(const std::string &text);
// True when `needle` occurs in `text`; without case sensitivity letters are compared upper-cased.
bool containsText(const std::string &text, const std::string &needle, bool caseSensitive);

} // namespace vkdb
