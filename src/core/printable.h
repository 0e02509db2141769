// Names read from a file, made safe to echo in a one-line message.
#pragma once
#include <string>
#include <string_view>

// `name` with every control character (0x00..0x1F, 0x7F) written as an escape (\n,
// \r, \t, else \xHH) and backslashes and double quotes escaped (\\, \"), so the
// message stays one line and the name reads unambiguously between quotes. Other
// bytes (UTF-8 included) are kept.
std::string Printable(std::string_view name);
