#include "platform/kit/PullRefreshHeaderView.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Animation.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/ScrollView.h"

#include <algorithm>

namespace pf {

namespace {

void setTopInset(ScrollView& scrollView, double top)
{
    EdgeInsets inset = scrollView.contentInset();
    if (inset.top == top)
        return;
    inset.top = top;
    scrollView.setContentInset(inset);
}

const char* stateName(PullRefreshState state)
{
    switch (state) {
    case PullRefreshState::Normal: return "normal";
    case PullRefreshState::Pulling: return "pulling";
    case PullRefreshState::Loading: return "loading";
    }
    return "";
}

}

PullRefreshHeaderView::PullRefreshHeaderView() = default;

PullRefreshHeaderView::PullRefreshHeaderView(const Rect& frame)
    : View(frame)
{
}

bool PullRefreshHeaderView::delegateIsLoading()
{
    auto d = delegate();
    return d && d->pullRefreshDataSourceIsLoading(*this);
}

void PullRefreshHeaderView::setState(PullRefreshState state)
{
    if (state == m_state)
        return;
    PullRefreshState previous = m_state;
    m_state = state;
    stateDidChange(previous);
}

void PullRefreshHeaderView::refreshLastUpdatedDate()
{
    auto d = delegate();
    std::optional<double> date = d ? d->pullRefreshDataSourceLastUpdated(*this) : std::nullopt;
    m_lastUpdated = date;
    if (date)
        UserDefaults::standard()->setDate(kLastRefreshDefaultsKey, Date { *date });
    lastUpdatedDateDidChange();
}

void PullRefreshHeaderView::scrollViewDidScroll(ScrollView& scrollView)
{
    auto self = weak_from_this().lock(); // kept alive while it reports
    double y = scrollView.contentOffset().y;
    if (m_state == PullRefreshState::Loading) {
        // Keep the header open as far as it is pulled, up to the loading inset, and let the
        // content scroll over it when pushed up.
        setTopInset(scrollView, std::clamp(-y, 0.0, PullRefreshMetrics::kLoadingInset));
        return;
    }
    if (!scrollView.isDragging())
        return;
    bool loading = delegateIsLoading();
    if (m_state == PullRefreshState::Pulling && y > -PullRefreshMetrics::kTriggerDistance && y < 0 && !loading)
        setState(PullRefreshState::Normal);
    else if (m_state == PullRefreshState::Normal && y < -PullRefreshMetrics::kTriggerDistance && !loading)
        setState(PullRefreshState::Pulling);
    setTopInset(scrollView, 0);
}

void PullRefreshHeaderView::scrollViewDidEndDragging(ScrollView& scrollView)
{
    auto self = weak_from_this().lock(); // kept alive while it reports
    if (scrollView.contentOffset().y > -PullRefreshMetrics::kTriggerDistance || delegateIsLoading())
        return;
    setState(PullRefreshState::Loading);
    Animation::animate(PullRefreshMetrics::kOpenDuration, [&] { setTopInset(scrollView, PullRefreshMetrics::kLoadingInset); });
    if (auto d = delegate())
        d->pullRefreshDidTriggerRefresh(*this);
}

void PullRefreshHeaderView::dataSourceDidFinishLoading(ScrollView& scrollView)
{
    auto self = weak_from_this().lock(); // kept alive while it reports
    Animation::animate(PullRefreshMetrics::kCloseDuration, [&] { setTopInset(scrollView, 0); });
    setState(PullRefreshState::Normal);
}

void PullRefreshHeaderView::dumpAttributes(DumpAttributes& attributes) const
{
    View::dumpAttributes(attributes);
    attributes.value("state", stateName(m_state));
}

}
