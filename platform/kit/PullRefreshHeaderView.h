#pragma once

#include "platform/ui/View.h"

#include <memory>
#include <optional>

namespace pf {

class PullRefreshHeaderView;
class ScrollView;

// The numbers of pulling to refresh, in one place.
struct PullRefreshMetrics {
    // Pulled further than this (content offset y below minus this) the header is armed, and
    // released there it starts a refresh.
    static constexpr double kTriggerDistance = 65;
    // Top content inset that keeps the header in view while the refresh runs.
    static constexpr double kLoadingInset = 60;
    // Durations of opening to the loading inset and closing back to none.
    static constexpr double kOpenDuration = 0.2;
    static constexpr double kCloseDuration = 0.3;
};

enum class PullRefreshState { Normal, Pulling, Loading };

// What the list behind a pull-to-refresh header answers.
class PullRefreshDelegate {
public:
    virtual ~PullRefreshDelegate() = default;
    // The user released the header past the trigger distance: start reloading.
    virtual void pullRefreshDidTriggerRefresh(PullRefreshHeaderView& header) = 0;
    // Whether a reload is running (no new one starts meanwhile).
    virtual bool pullRefreshDataSourceIsLoading(PullRefreshHeaderView& header) = 0;
    // Optional: when the data was last updated (seconds since 1970); none by default.
    virtual std::optional<double> pullRefreshDataSourceLastUpdated(PullRefreshHeaderView& header) { return std::nullopt; }
};

// The header above a list's content that refreshes the list when pulled down far enough:
// normal -> pulling (dragged past the trigger distance) -> loading (released there; the
// content inset keeps it open) -> normal (the list says it has finished).
//
// Rules:
// - It acts only on the scroll reports the list forwards: `scrollViewDidScroll`,
//   `scrollViewDidEndDragging` and `dataSourceDidFinishLoading`.
// - While the delegate says it is loading no state changes to pulling and no refresh starts.
// - It enters the loading state before telling the delegate, so a list that finishes at once,
//   inside the trigger, leaves it closed and normal.
// - The base draws nothing: subclasses show the state through `stateDidChange` and the last
//   update through `lastUpdatedDateDidChange`.
// - `refreshLastUpdatedDate` asks the delegate; only when it gives a date is the date kept and
//   stored in the user default `kLastRefreshDefaultsKey`.
// - The delegate is held weakly.
class PullRefreshHeaderView : public View {
public:
    static constexpr const char* kLastRefreshDefaultsKey = "EGORefreshTableView_LastRefresh";

    PullRefreshHeaderView();
    explicit PullRefreshHeaderView(const Rect& frame);

    std::shared_ptr<PullRefreshDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<PullRefreshDelegate> delegate) { m_delegate = std::move(delegate); }
    PullRefreshState state() const { return m_state; }
    std::optional<double> lastUpdatedDate() const { return m_lastUpdated; }

    void refreshLastUpdatedDate();
    void scrollViewDidScroll(ScrollView& scrollView);
    void scrollViewDidEndDragging(ScrollView& scrollView);
    void dataSourceDidFinishLoading(ScrollView& scrollView);

    void dumpAttributes(DumpAttributes& attributes) const override;

protected:
    void setState(PullRefreshState state);
    virtual void stateDidChange(PullRefreshState previous) { }
    virtual void lastUpdatedDateDidChange() { }

private:
    bool delegateIsLoading();

    std::weak_ptr<PullRefreshDelegate> m_delegate;
    PullRefreshState m_state { PullRefreshState::Normal };
    std::optional<double> m_lastUpdated;
};

}
