// The parsers on Windows: WinHttpCrackUrl for URLs, the shell's UrlCombineW for relative
// references, and a reader of the date forms servers send in cookies.
#include "core/net/UrlParser.h"

#include <windows.h>
#include <shlwapi.h>
#include <winhttp.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace quillbox::net {
namespace {

// URL bytes are ASCII here (percent-encoded before): one byte, one character.
std::wstring widen(std::string_view bytes) { return std::wstring(bytes.begin(), bytes.end()); }

std::string narrow(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t c : wide)
        out.push_back(static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

UrlParts parseAbsoluteUrl(std::string_view text) {
    UrlParts parts;
    // WinHttpCrackUrl reads what is there; the checks it leaves out are made here: an
    // address in brackets must close them, and a URL is one line without spaces.
    const std::size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos || text.find_first_of(" \t\r\n") != std::string_view::npos)
        return parts;
    const std::string_view authorityAndRest = text.substr(schemeEnd + 3);
    const std::string_view authority = authorityAndRest.substr(0, authorityAndRest.find_first_of("/?#"));
    if (authority.find('[') != std::string_view::npos && authority.find(']') == std::string_view::npos)
        return parts;

    const std::wstring wide = widen(text);
    std::vector<wchar_t> scheme(32), host(wide.size() + 1), path(wide.size() + 1);
    URL_COMPONENTS components{};
    components.dwStructSize = sizeof components;
    components.lpszScheme = scheme.data();
    components.dwSchemeLength = static_cast<DWORD>(scheme.size());
    components.lpszHostName = host.data();
    components.dwHostNameLength = static_cast<DWORD>(host.size());
    components.lpszUrlPath = path.data();
    components.dwUrlPathLength = static_cast<DWORD>(path.size());
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &components))
        return parts;
    parts.scheme = lower(narrow(std::wstring_view(scheme.data(), components.dwSchemeLength)));
    parts.host = narrow(std::wstring_view(host.data(), components.dwHostNameLength));
    if (parts.host.find(':') != std::string::npos && parts.host.front() != '[')
        parts.host = "[" + parts.host + "]";
    parts.port = components.nPort;
    parts.path = narrow(std::wstring_view(path.data(), components.dwUrlPathLength));
    parts.ok = !parts.host.empty();
    return parts;
}

std::string resolveRelativeUrl(std::string_view base, std::string_view relative) {
    const std::wstring wideBase = widen(base), wideRelative = widen(relative);
    std::vector<wchar_t> out(wideBase.size() + wideRelative.size() + 64);
    DWORD length = static_cast<DWORD>(out.size());
    HRESULT result = UrlCombineW(wideBase.c_str(), wideRelative.c_str(), out.data(), &length, URL_DONT_ESCAPE_EXTRA_INFO);
    if (result == E_POINTER) {
        out.resize(length + 1);
        length = static_cast<DWORD>(out.size());
        result = UrlCombineW(wideBase.c_str(), wideRelative.c_str(), out.data(), &length, URL_DONT_ESCAPE_EXTRA_INFO);
    }
    if (FAILED(result))
        return {};
    return narrow(std::wstring_view(out.data(), length));
}

std::time_t parseHttpDate(std::string_view date) {
    // "Thu, 01 Jan 1970 00:00:00 GMT", "Thursday, 01-Jan-70 00:00:00 GMT", "Thu Jan  1 00:00:00 1970":
    // the words are read in any order, as servers write them.
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    int day = -1, month = -1, year = -1, hour = -1, minute = 0, second = 0;
    std::size_t at = 0;
    while (at < date.size()) {
        while (at < date.size() && (date[at] == ' ' || date[at] == ',' || date[at] == '-' || date[at] == '\t'))
            ++at;
        std::size_t end = at;
        while (end < date.size() && date[end] != ' ' && date[end] != ',' && date[end] != '-' && date[end] != '\t')
            ++end;
        const std::string word = lower(std::string(date.substr(at, end - at)));
        at = end;
        if (word.empty())
            continue;
        if (word.find(':') != std::string::npos) {
            if (std::sscanf(word.c_str(), "%d:%d:%d", &hour, &minute, &second) < 2)
                return -1;
        } else if (std::isdigit(static_cast<unsigned char>(word[0]))) {
            const int number = std::atoi(word.c_str());
            if (day < 0 && word.size() <= 2 && month < 0 && year < 0)
                day = number;
            else if (day < 0 && word.size() <= 2)
                day = number;
            else
                year = number;
        } else {
            for (int m = 0; m < 12; ++m)
                if (word.compare(0, 3, kMonths[m]) == 0 && word.size() >= 3 && month < 0 &&
                    word.find("day") == std::string::npos)
                    month = m;
        }
    }
    if (day < 1 || day > 31 || month < 0 || year < 0 || hour < 0 || hour > 23 || minute > 59 || second > 60)
        return -1;
    if (year < 70)
        year += 2000;
    else if (year < 100)
        year += 1900;
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    return _mkgmtime(&when);
}

}  // namespace quillbox::net
