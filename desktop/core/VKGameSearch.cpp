#include "VKGameSearch.h"

std::vector<VKSearchRecord> ParseSearchReply(const std::string& body) {
    std::vector<VKSearchRecord> records;
    std::vector<std::string> fields;
    size_t pos = 0;
    auto flush = [&]() {
        fields.resize(10);
        VKSearchRecord r{fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7], fields[8]};
        records.push_back(r);
        fields.clear();
    };
    while (pos < body.size() && static_cast<int>(records.size()) < kMaxSearchRecords) {
        size_t end = body.find_first_of(";\r\n", pos);
        if (end == std::string::npos) end = body.size();
        fields.push_back(body.substr(pos, end - pos));
        pos = end;
        if (pos < body.size() && body[pos] == ';') ++pos;
        while (pos < body.size() && (body[pos] == '\r' || body[pos] == '\n')) ++pos;
        if (fields.size() == 10) flush();
    }
    // A last record cut short still lists what it has, unless it is empty.
    if (static_cast<int>(records.size()) < kMaxSearchRecords && !fields.empty()) {
        bool any = false;
        for (const std::string& f : fields) any = any || !f.empty();
        if (any) flush();
    }
    return records;
}

std::string SearchRecordLine(const VKSearchRecord& r) {
    return r.title + " (" + r.platform + "," + r.genre + "," + r.releaseDate + "," + r.publisher + ")";
}
