// Text placed in the plant's HTML pages, in element content and in quoted
// attribute values alike.
#pragma once

#include <string>

namespace plant {

std::string HtmlEscape(const std::string &text);

} // namespace plant
