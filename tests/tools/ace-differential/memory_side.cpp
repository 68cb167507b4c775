// The same scenario as ace_side.js, run on MemoryPage; prints the same lines.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>
#include "core/editor/MemoryPage.h"
using namespace quillbox;
static std::string unhex(const std::string& h) {
    std::string s;
    for (size_t i = 0; i + 1 < h.size(); i += 2) s += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return s;
}
static std::string json(const std::string& s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': o += "\\\""; break;
            case '\\': o += "\\\\"; break;
            case '\n': o += "\\n"; break;
            case '\r': o += "\\r"; break;
            case '\t': o += "\\t"; break;
            case '\b': o += "\\b"; break;
            case '\f': o += "\\f"; break;
            default:
                if (c < 0x20) { char b[8]; snprintf(b, sizeof b, "\\u%04x", c); o += b; } else o += static_cast<char>(c);
        }
    }
    return o + "\"";
}
int main() {
    MemoryPage page;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty()) continue;
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string x;
        while (std::getline(ss, x, '\t')) f.push_back(x);
        if (line.back() == '\t') f.push_back("");
        std::string r;
        const std::string& op = f[0];
        auto arg = [&](size_t i) { return i < f.size() ? f[i] : std::string(); };
        if (op == "set") page.setText(unhex(arg(1)));
        else if (op == "append") page.appendText(unhex(arg(1)));
        else if (op == "insert") page.insert(unhex(arg(1)));
        else if (op == "select") page.select(std::stoi(f[1]), std::stoi(f[2]), std::stoi(f[3]), std::stoi(f[4]));
        else if (op == "goto") page.gotoLine(std::stoi(f[1]));
        else if (op == "find") {
            FindOptions o; o.backwards = f[2] == "1"; o.caseSensitive = f[3] == "1"; o.wholeWord = f[4] == "1"; o.regExp = f[5] == "1";
            page.find(unhex(f[1]), o);
        } else if (op == "replace") r = page.replace(unhex(arg(1))) ? "1" : "0";
        else if (op == "replaceAll") r = std::to_string(page.replaceAll(unhex(arg(1))));
        const SelectionRange s = page.selectionRange();
        std::cout << op << '\t' << r << '\t' << json(page.getText()) << '\t' << s.startRow << ',' << s.startColumn << ',' << s.endRow << ',' << s.endColumn << '\n';
    }
}
