#pragma once

// Where a formatted log message goes; one implementation per platform.
// Called with the log's lock held.
void VKLogSinkWrite(const char* text, int length, bool toFile);
