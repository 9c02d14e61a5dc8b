#include "screens/gifts/LookAheadPager.h"

#include "core/PortalReplyEnvelope.h"
#include "core/NetworkRequestor.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ScrollView.h"

LookAheadPager::LookAheadPager() = default;

LookAheadPager::LookAheadPager(Options options)
    : m_options(options)
    , m_isMoreInfo(options.moreAtStart)
{
}

LookAheadPager::~LookAheadPager()
{
    pf::RunLoop::main().cancelAll(this);
}

void LookAheadPager::requestPage()
{
    requestPageNumber(m_currentPage);
}

void LookAheadPager::requestPageNumber(int page)
{
    m_pageAsked = page;
    if (startRequest)
        m_pageRequestor = startRequest(page);
}

void LookAheadPager::refresh()
{
    m_reloading = true;
    // The counter goes back to 1 only when page 1 arrives: a failed refresh keeps the place.
    requestPageNumber(1);
    int refresh = ++m_refreshCount;
    pf::RunLoop::main().postDelayed(kRefreshTimeout, [this, refresh] {
        if (!m_reloading || refresh != m_refreshCount)
            return;
        if (auto stalled = std::move(m_pageRequestor))
            stalled->cancel();
        requestEndedWithoutReply();
    }, this);
}

bool LookAheadPager::isAtEnd(const pf::ScrollView& list)
{
    return list.contentOffset().y + list.frame().size.height + 1 >= list.contentSize().height;
}

void LookAheadPager::didEndDecelerating(const pf::ScrollView& list)
{
    if (m_options.loadsAtEnd && m_isMoreInfo && isAtEnd(list))
        requestPage();
}

bool LookAheadPager::handleReply(const NetworkRequestor* requestor, const pf::Bytes& data)
{
    if (!requestor)
        return false;
    if (requestor == m_pageRequestor.get()) {
        pageReplyArrived(data);
        return true;
    }
    if (requestor == m_probeRequestor.get()) {
        probeReplyArrived(data);
        return true;
    }
    return false;
}

bool LookAheadPager::isListReply(const pf::Value& reply)
{
    auto envelope = PortalReplyEnvelope::fromValue(reply);
    return envelope.isObject() && envelope.isSuccess() && envelope.body().isArray();
}

void LookAheadPager::pageReplyArrived(const pf::Bytes& data)
{
    pf::Value reply = pf::Json::parse(data).value_or(pf::Value());
    bool counts = isListReply(reply);
    if (counts) {
        // A failed reply must not cost the user a page: only a real list moves the counter on.
        m_currentPage = m_pageAsked;
        if (pageArrived)
            pageArrived(reply, m_currentPage == 1);
        if (startRequest)
            m_probeRequestor = startRequest(m_currentPage + 1);
        ++m_currentPage;
    }
    if (m_reloading) {
        m_reloading = false;
        if (refreshFinished)
            refreshFinished();
    }
    if (!counts) {
        m_loadedFinished = true;
        if (pageFailed)
            pageFailed(reply);
    }
}

void LookAheadPager::probeReplyArrived(const pf::Bytes& data)
{
    pf::Value reply = pf::Json::parse(data).value_or(pf::Value());
    m_loadedFinished = true;
    // A failed probe says nothing about the next page: `isMoreInfo` stays as it was.
    if (isListReply(reply))
        m_isMoreInfo = probeHasItems && probeHasItems(reply);
    if (probeArrived)
        probeArrived();
}

bool LookAheadPager::handleFailure(const NetworkRequestor* requestor)
{
    if (!requestor)
        return false;
    if (requestor == m_pageRequestor.get()) {
        m_pageRequestor.reset();
    } else if (requestor == m_probeRequestor.get()) {
        m_probeRequestor.reset();
    } else {
        return false;
    }
    requestEndedWithoutReply();
    return true;
}

void LookAheadPager::requestEndedWithoutReply()
{
    if (m_reloading) {
        m_reloading = false;
        if (refreshFinished)
            refreshFinished();
    }
    if (requestFailed)
        requestFailed();
}
