#pragma once
#include <string>
#include <vector>

// One game of a search reply (fields 2 to 9 of a ten-field record).
struct VKSearchRecord {
    std::string shortName, platform, genre, releaseDate, rating, title, publisher, developer;
};

static const int kMaxSearchRecords = 999;

// Splits a search reply into records of ten fields. A field ends at ";" or
// at a line end, and any run of carriage returns and line feeds after it is
// skipped; a field that begins at ";" is empty. At most 999 records.
std::vector<VKSearchRecord> ParseSearchReply(const std::string& body);

// The result list's line: title + " (" + platform + "," + genre + "," +
// release date + "," + publisher + ")".
std::string SearchRecordLine(const VKSearchRecord& r);
