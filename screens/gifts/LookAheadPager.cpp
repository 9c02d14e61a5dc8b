#include "screens/gifts/LookAheadPager.h"

#include "core/PortalReplyEnvelope.h"
#include "core/NetworkRequestor.h"
#include "platform/foundation/AsciiText.h"
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
    if (!m_pageRequestor) {
        endRefresh(); // nothing could be sent: there is nothing to wait for
        return;
    }
    int refresh = ++m_refreshCount;
    pf::RunLoop::main().postDelayed(kRefreshTimeout, [this, refresh] {
        if (!m_reloading || refresh != m_refreshCount)
            return;
        if (auto stalled = std::move(m_pageRequestor))
            stalled->cancel();
        requestEndedWithoutReply();
    }, this);
}

void LookAheadPager::reset()
{
    pf::RunLoop::main().cancelAll(this);
    for (auto* held : { &m_pageRequestor, &m_probeRequestor }) {
        if (auto requestor = std::move(*held))
            requestor->cancel();
    }
    m_currentPage = 1;
    m_pageAsked = 1;
    m_isMoreInfo = m_options.moreAtStart;
    m_refusal.reset();
    endRefresh();
}

void LookAheadPager::endRefresh()
{
    if (!m_reloading)
        return;
    m_reloading = false;
    if (refreshFinished)
        refreshFinished();
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

LookAheadPager::ReplyKind LookAheadPager::kindOf(const pf::Value& reply)
{
    auto envelope = PortalReplyEnvelope::fromValue(reply);
    if (!envelope.isObject() || !envelope.isSuccess())
        return ReplyKind::Failure;
    if (envelope.body().isArray())
        return ReplyKind::List;
    // A missing "body" is not a null one: only the portal's explicit "nothing" ends the list.
    if (envelope.body().isNull())
        return ReplyKind::End;
    return ReplyKind::Failure;
}

std::optional<std::string> LookAheadPager::refusalOf(const pf::Value& reply)
{
    // Only an answer the portal itself gave is a refusal; bytes that are no envelope say nothing.
    auto envelope = PortalReplyEnvelope::fromValue(reply);
    if (!envelope.isObject() || envelope.isSuccess())
        return std::nullopt;
    return std::string(pf::AsciiText::trimmed(envelope.message()));
}

void LookAheadPager::pageReplyArrived(const pf::Bytes& data)
{
    pf::Value reply = pf::Json::parse(data).value_or(pf::Value());
    ReplyKind kind = kindOf(reply);
    m_refusal = refusalOf(reply);
    if (kind == ReplyKind::List) {
        // A failed reply must not cost the user a page: only a real list moves the counter on.
        m_currentPage = m_pageAsked;
        if (pageArrived)
            pageArrived(reply, m_currentPage == 1);
        if (startRequest)
            m_probeRequestor = startRequest(m_currentPage + 1);
        ++m_currentPage;
    } else {
        m_isMoreInfo = kind == ReplyKind::Failure;
    }
    endRefresh();
    if (kind != ReplyKind::List) {
        m_loadedFinished = true;
        if (pageFailed)
            pageFailed(reply);
    }
}

void LookAheadPager::probeReplyArrived(const pf::Bytes& data)
{
    pf::Value reply = pf::Json::parse(data).value_or(pf::Value());
    m_loadedFinished = true;
    m_refusal = refusalOf(reply);
    switch (kindOf(reply)) {
    case ReplyKind::List:
        m_isMoreInfo = probeHasItems && probeHasItems(reply);
        break;
    case ReplyKind::End:
        m_isMoreInfo = false;
        break;
    case ReplyKind::Failure:
        // A failed probe says nothing about the next page: the footer keeps offering it.
        m_isMoreInfo = true;
        break;
    }
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
    m_isMoreInfo = true;
    m_refusal.reset();
    m_loadedFinished = true;
    endRefresh();
    if (requestFailed)
        requestFailed();
}
