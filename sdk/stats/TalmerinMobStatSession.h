#pragma once

#include "platform/foundation/Value.h"

#include <string>

// One usage session. Times are whole milliseconds since 1970 on the main loop's clock; -1
// until set. The id is the start time in decimal.
class TalmerinMobStatSession {
public:
    void start();
    void end();
    // Keeps a page view without its start time ("n", "d", "ps").
    void addPageView(const pf::Dictionary& pageView);
    // {"s", "e", "i", "p", "c"}: a snapshot, safe to hand to another thread.
    pf::Dictionary dictionaryRepresentation() const;

    long long sStart() const { return m_start; }
    long long sEnd() const { return m_end; }
    const std::string& Id() const { return m_id; }
    const pf::Array& pageViews() const { return m_pageViews; }
    int logSentCount() const { return m_logSentCount; }
    void setLogSentCount(int count) { m_logSentCount = count; }

private:
    long long m_start { -1 };
    long long m_end { -1 };
    std::string m_id;
    pf::Array m_pageViews;
    int m_logSentCount { 0 };
};
