#pragma once
#include <cstdint>
#include <string>

#include "CVKJobQueue.h"

// The texts of publishing a video: the form-post body around a file, the
// registration and login-check queries, and the upload-server reply.

// The boundary of the form posts.
extern const char* const kVKMultipartBoundary;
// "Content-Type: multipart/form-data; boundary=...\r\n".
std::string VKMultipartContentType();
// Everything before the file's bytes: the "miscdata" field (0) and the
// headers of the "uploadedfile" part.
std::string VKMultipartHead(const std::string& remoteName, const std::string& contentType);
// Everything after the file's bytes: the "submitted" field and the closing
// boundary.
std::string VKMultipartTail();
// The announced length of a post of a file of fileSize bytes.
uint64_t VKMultipartLength(const std::string& remoteName, const std::string& contentType, uint64_t fileSize);

// "registermedia.php?" query of a job: keys in their fixed order, every text
// percent-encoded whole (no length limit), "&encprx=" only when the job's
// source file is not a .wmv (the desktop encoded it).
std::string VKRegisterMediaQuery(const VKJob& job, const std::string& videoPath, int64_t durationMs, int bitRate);
// "checklogin.php?" query.
std::string VKCheckLoginQuery(const std::string& user, const std::string& password);

// The "getservers.php" reply: host, FTP user and password, each ending at
// ';' or a line end (line ends after a ';' are skipped). False unless the
// host is a plain host name (letters, digits, '.', '-', ':' for a port): an
// address from a reply is never a path, a URL or a command.
bool VKParseUploadServers(const std::string& reply, std::string* host, std::string* user, std::string* password);
// A plain host name, optionally with ":port".
bool VKIsPlainHost(const std::string& host);
// Splits "host:port" (port 21 when none is given). False for a bad port.
bool VKSplitHostPort(const std::string& text, std::string* host, unsigned short* port, unsigned short defaultPort);
