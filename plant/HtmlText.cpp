#include "HtmlText.h"

namespace plant {

std::string HtmlEscape(const std::string &text)
{
	std::string out;
	out.reserve(text.size());
	for (char c : text) {
		switch (c) {
		case '\'':
			out += "&#39;";
			break;
		case '&':
			out += "&amp;";
			break;
		case '<':
			out += "&lt;";
			break;
		case '>':
			out += "&gt;";
			break;
		case '"':
			out += "&quot;";
			break;
		default:
			out += c;
		}
	}
	return out;
}

} // namespace plant
