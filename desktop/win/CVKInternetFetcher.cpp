#include "CVKInternetFetcher.h"

CVKInternetFetcher::CVKInternetFetcher(size_t limit) : m_net(new CVKInternet()), m_started(false) {
    m_net->SetLimit(limit);
}

CVKInternetFetcher::~CVKInternetFetcher() { m_net->Release(); }

void CVKInternetFetcher::Start(const std::string& address) {
    m_started = true;
    m_net->Open(address, true);
}

bool CVKInternetFetcher::Complete(CVKInternet* net) {
    if (net->Failed() != 0 || net->StatusCode() != 200) return false;
    long long announced = net->ContentLength();
    return announced < 0 || static_cast<unsigned long long>(announced) == net->Length();
}

IVKFetcher::State CVKInternetFetcher::Poll(long long* announced) {
    *announced = -1;
    if (!m_started) return kIdle;
    int state = m_net->State();
    if (state == CVKInternet::kOpening) return kOpening;
    if (state != CVKInternet::kDone) {
        *announced = m_net->ContentLength();
        return kReading;
    }
    return Complete(m_net) ? kDone : kFailed;
}

std::string CVKInternetFetcher::Body() { return m_net->Data(); }
