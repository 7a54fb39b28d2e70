#pragma once
#include <string>

#include "IVKFileSystem.h"

// Folder joins and the checks applied to paths and names that come from the
// game catalogue or the service.

// Joins folder and tail with one backslash (one trailing backslash of the
// folder and one leading backslash of the tail dropped). The first "*"
// expands the path component that holds it to a directory matching that
// component (the last in listing order, or the first when pickFirst), names
// beginning with "." skipped; without a match the "*" is dropped. An empty
// tail leaves the folder unchanged.
std::string JoinPath(const std::string& folder, const std::string& tail, IVKFileSystem* fs, bool pickFirst = false);

// Cuts text before the first place where cut occurs, ignoring case; text is
// unchanged when cut is empty, longer than text, or absent.
std::string TruncAtNoCase(const std::string& text, const std::string& cut);

// Every "/" turned into "\".
std::string Backslashes(std::string text);

// The part before the last backslash ("" without one).
std::string FolderOf(const std::string& path);

// A relative path from the catalogue that stays below its folder: no drive,
// no leading backslash, no ".." component.
bool IsSafeRelativePath(const std::string& path);

// A single name usable as part of a file name: not empty, no "\", "/", ":"
// and no "..".
bool IsSafeNameComponent(const std::string& name);

// Case-insensitive equality of two paths' texts.
bool SameTextNoCase(const std::string& a, const std::string& b);
