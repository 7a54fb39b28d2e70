#pragma once
#include "CVKInternet.h"
#include "IVKFetcher.h"

// IVKFetcher over the download object: the fetch runs on its worker thread
// and is polled. Only a complete "200" reply counts as done: a failed
// connection, another status, or a body shorter or longer than the announced
// Content-Length is a failure.
class CVKInternetFetcher : public IVKFetcher {
public:
    explicit CVKInternetFetcher(size_t limit);
    ~CVKInternetFetcher() override;
    void Start(const std::string& address) override;
    State Poll(long long* announced) override;
    std::string Body() override;

    // The same judgement for a download object that has finished.
    static bool Complete(CVKInternet* net);

private:
    CVKInternet* m_net;
    bool m_started;
};
