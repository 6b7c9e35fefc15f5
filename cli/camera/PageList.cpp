#include "PageList.h"

#include "InputFile.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace eeprom_cli {

namespace {

constexpr int kPages = 8;

bool PageNumber(const std::string &text, int &page)
{
	if (text.size() != 1 || !std::isdigit(static_cast<unsigned char>(text[0])))
		return false;
	page = text[0] - '0';
	return page < kPages;
}

} // namespace

std::string ParsePageList(const std::string &text, std::vector<int> &pages)
{
	std::vector<int> list;
	std::istringstream parts(text);
	std::string part;
	while (std::getline(parts, part, ',')) {
		size_t dash = part.find('-');
		int first = 0, last = 0;
		bool ok = dash == std::string::npos ? PageNumber(part, first) && PageNumber(part, last)
						    : PageNumber(part.substr(0, dash), first) &&
							      PageNumber(part.substr(dash + 1), last);
		if (ok && first > last)
			return "--pages '" + fileio::ShownText(text) + "': the range " + part +
			       " runs backwards; give it as " + part.substr(dash + 1) + "-" +
			       part.substr(0, dash);
		if (!ok)
			return "--pages '" + fileio::ShownText(text) +
			       "': give pages 0 to 7 as a list such as 0-3,7";
		for (int page = first; page <= last; page++)
			list.push_back(page);
	}
	if (list.empty() || text.back() == ',')
		return "--pages '" + fileio::ShownText(text) + "': give pages 0 to 7 as a list such as 0-3,7";
	std::sort(list.begin(), list.end());
	list.erase(std::unique(list.begin(), list.end()), list.end());
	pages = std::move(list);
	return "";
}

std::string PageListText(const std::vector<int> &pages)
{
	std::string text;
	for (size_t i = 0; i < pages.size();) {
		size_t j = i;
		while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1)
			j++;
		text += (text.empty() ? "" : ",") + std::to_string(pages[i]);
		if (j > i)
			text += "-" + std::to_string(pages[j]);
		i = j + 1;
	}
	return text;
}

} // namespace eeprom_cli
