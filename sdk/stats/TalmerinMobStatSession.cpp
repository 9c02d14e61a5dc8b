#include "sdk/stats/TalmerinMobStatSession.h"

#include "sdk/stats/TalmerinMobStat.h"

void TalmerinMobStatSession::start()
{
    m_start = TalmerinMobStat::nowMs();
    m_id = std::to_string(m_start);
    TalmerinMobStat::debugLog("Session Start " + m_id);
}

void TalmerinMobStatSession::end()
{
    if (m_start == -1)
        return;
    m_end = TalmerinMobStat::nowMs();
    TalmerinMobStat::debugLog("Session End " + std::to_string(m_end));
}

void TalmerinMobStatSession::addPageView(const pf::Dictionary& pageView)
{
    pf::Dictionary kept = pageView;
    kept.remove("s");
    m_pageViews.push_back(pf::Value(std::move(kept)));
}

pf::Dictionary TalmerinMobStatSession::dictionaryRepresentation() const
{
    return pf::Dictionary {
        { "s", pf::Value(m_start) },
        { "e", pf::Value(m_end) },
        { "i", pf::Value(m_id) },
        { "p", pf::Value(m_pageViews) },
        { "c", pf::Value(m_logSentCount) },
    };
}
