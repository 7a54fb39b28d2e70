#pragma once
#include <string>

// Query values and addresses of the desktop's service requests. Every value
// placed into a query is percent-encoded, so a title, a user name or a path
// can never add a parameter of its own.

// Percent-encodes every byte but letters, digits and "-_.~".
std::string PercentEncode(const std::string& text);

// "registergame.php?" query (op 0 registers, 1 unregisters).
std::string RegisterGameQuery(const std::string& shortName, const std::string& platform, const std::string& genre,
                              const std::string& user, const std::string& password, int op, const std::string& launcher,
                              const std::string& binFolder);
// "gamesearch.php?" query.
std::string GameSearchQuery(const std::string& title, const std::string& platform, const std::string& genre);
// Path of a game's box picture on the web server.
std::string BoxPicturePath(const std::string& platform, const std::string& genre, const std::string& shortName);
// File name of a game's box picture in the local store.
std::string BoxPictureFile(const std::string& platform, const std::string& genre, const std::string& shortName);
// "browserlogin.php?target=..." query, with or without credentials.
std::string BrowserLoginQuery(const std::string& target, bool withCredentials, const std::string& user,
                              const std::string& password);
