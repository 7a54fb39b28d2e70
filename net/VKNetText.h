#pragma once
#include <cstdint>
#include <string>

// Small text helpers of the line-based protocols.

// A signed decimal number from the start of text, as atoi reads it (leading
// blanks and a sign allowed, leading digits count, anything else reads as 0),
// but saturated to the range of int instead of overflowing.
int VKParseInt(const char* text);
int64_t VKParseInt64(const char* text);

// True when text can travel as one line of a message: not empty, no line
// feed and no carriage return (either would end the line early or inject a
// line of the peer's choosing).
bool VKIsLineField(const char* text);
// The same test for a field that may be empty.
bool VKIsLineText(const char* text);

// Free text (a chat line) with every line feed and carriage return replaced
// by a blank, so the text stays one line.
std::string VKFlattenLine(const char* text);

// Text placed into a request address as one query value: every byte but
// letters, digits and "-_.~" becomes "%XX", so "&", "#", "%", "+" or a blank
// in a name cannot change the request.
std::string VKPercentEncode(const char* text);
