#include "core/engine/WatchLog.h"

#include <cstdlib>

#include "core/engine/BrowserEnvironment.h"
#include "core/json/JsonDocument.h"
#include "core/platform/Assets.h"

namespace quillbox::engine {

std::string watchScript(const std::string& environmentPage) {
    const auto found = assets::find("js/watch.js");
    std::string text = found ? std::string(*found) : std::string();
    JsonDocument skip = JsonDocument::makeArray();
    skip.append("", JsonDocument::makeString(kWatchSourceName));
    if (!environmentPage.empty())
        skip.append("", JsonDocument::makeString(environmentPage));
    const std::string mark = "/*@options*/{}";
    const std::size_t at = text.rfind(mark);
    if (at != std::string::npos)
        text.replace(at, mark.size(),
                     "{skip: " + skip.toJson("", false, true) +
                         ", environment: " + JsonDocument::makeString(environmentPage).toJson("", false, true) + "}");
    return text;
}

std::vector<WatchRow> parseWatchLog(const std::string& json) {
    std::vector<WatchRow> rows;
    JsonDocument doc;
    if (json.empty() || !doc.parse(json, true).ok || doc.kind() != JsonKind::Array)
        return rows;
    for (std::size_t i = 0; i < doc.count(); ++i) {
        const JsonDocument row = doc.at("", i);
        if (row.kind() != JsonKind::Array || row.count() != 3)
            return {};
        rows.push_back({row.at("", 0).string(), row.at("", 1).string(), placeOfFrame(row.at("", 2).string())});
    }
    return rows;
}

bool splitPlace(const std::string& where, std::string& page, int& line) {
    const std::size_t colon = where.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == where.size())
        return false;
    char* end = nullptr;
    const long number = std::strtol(where.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || number < 1 || number > 1 << 30)
        return false;
    page = where.substr(0, colon);
    line = static_cast<int>(number);
    return true;
}

std::string watchTableText(const std::vector<WatchRow>& rows) {
    std::string out = "调用\t参数\t位置\n";
    for (const WatchRow& row : rows)
        out += tableCell(row.call) + "\t" + tableCell(row.args) + "\t" + tableCell(row.where) + "\n";
    return out;
}

}  // namespace quillbox::engine
