#pragma once
#include <cstddef>

// Free functions on zero-terminated narrow strings, shared by every deliverable.

// A fresh heap copy (free with free()); null gives null.
char* VKStrDup(const char* text);
// Equal when both are null or empty in any combination, otherwise byte-wise.
bool VKStrEqual(const char* a, const char* b);
// As VKStrEqual, ignoring case.
bool VKStrEqualNoCase(const char* a, const char* b);
// Decodes one UTF-8 character of one to three bytes. Anything else, including
// a lone continuation byte and the lead byte of a four-byte character, gives
// 0x80 with length 1.
unsigned VKUtf8Decode(const char* text, int* length);
// Number of characters the decoder steps through before the terminating zero.
int VKUtf8Length(const char* text);
// Copies at most size-1 bytes and always terminates (size > 0).
void VKStrCopy(char* dest, size_t size, const char* src);
