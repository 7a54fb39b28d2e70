#pragma once
#include <string>

// A download that runs without the caller waiting for it; its state is
// polled. A reply that is not a complete success (connection failure, an
// HTTP status other than 200, a body shorter than announced) is kFailed.
class IVKFetcher {
public:
    enum State { kIdle, kOpening, kReading, kDone, kFailed };
    virtual ~IVKFetcher() {}
    // Drops any fetch in progress and starts fetching address.
    virtual void Start(const std::string& address) = 0;
    // The state; while reading, *announced is the announced length (-1 when
    // none was given).
    virtual State Poll(long long* announced) = 0;
    // The body of a finished fetch.
    virtual std::string Body() = 0;
};
