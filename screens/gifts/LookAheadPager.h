#pragma once

#include "platform/foundation/Value.h"

#include <functional>
#include <memory>

class NetworkRequestor;

namespace pf {
class ScrollView;
}

// The paging of the app's lists (the gift list tabs, the search results, the obtained codes):
// pages of 20 items, and after every page a look-ahead "probe" of the next page whose items
// only tell whether more exist. The list's rows are shown once the probe has answered; the
// footer row shows a loading animation while more exists and the end text otherwise.
//
// Rules:
// - A reply counts only when it is a JSON object whose "ret" is 0 and whose "body" is a list
//   (an empty list included). Any other reply (not JSON, an error "ret", no "body" list) is a
//   failed reply: the rows, the page counter and `isMoreInfo` stay as they were, a running
//   refresh ends, and the owner is told (`pageFailed`) so that it shows its rows and footer,
//   whose tap asks for the same page again.
// - `currentPage` is the page the next page request asks for: 1 at start, one more after
//   every page reply that counts, back to 1 when a refresh's page 1 arrives. After page n
//   has arrived it is n + 1 and the probe has asked for page n + 1, which the next page
//   request asks for again, in full.
// - A page reply of page 1 replaces the list, a later one appends to it; then the probe goes
//   out, the page counter advances and a running refresh ends.
// - The probe reply sets `isMoreInfo` to whether it holds items (a failed one leaves it as it
//   was), marks the list as loaded and has the owner reload its table.
// - The next page is asked for when the list ends a deceleration at its bottom while more
//   exists, or when the footer is tapped (always). Only the list's own scroll view may be
//   passed to `didEndDecelerating`; other scroll views in the screen must not page it.
// - Nothing stops a second request while one runs: a newer request replaces the held
//   requestor and the older one's reply matches nothing and is dropped.
// - A page or probe request that fails at the transport level ends a running refresh and
//   tells the owner (`requestFailed`), which lets the user try again by pulling or by tapping
//   the footer. A refresh whose page reply has not come within `kRefreshTimeout` seconds is
//   cancelled and ends the same way, so the next pull works.
class LookAheadPager {
public:
    static constexpr int kPageSize = 20;
    static constexpr double kRefreshTimeout = 30;

    struct Options {
        // `isMoreInfo` before the first probe has answered.
        bool moreAtStart { false };
        // Reaching the end of the list loads the next page (else only the footer does).
        bool loadsAtEnd { true };
    };

    // Starts one request of `page` and returns its requestor (null when none started).
    using RequestStarter = std::function<std::shared_ptr<NetworkRequestor>(int page)>;

    LookAheadPager();
    explicit LookAheadPager(Options options);
    ~LookAheadPager();
    LookAheadPager(const LookAheadPager&) = delete;
    LookAheadPager& operator=(const LookAheadPager&) = delete;

    // --- what the owning screen supplies ---
    RequestStarter startRequest;
    // A page reply that counts (see the rules); `replace` is set for page 1.
    std::function<void(const pf::Value& reply, bool replace)> pageArrived;
    // A page reply that does not count (its JSON; missing when the bytes were no JSON): the
    // owner shows what it has (its rows, the footer).
    std::function<void(const pf::Value& reply)> pageFailed;
    // Whether a probe reply that counts holds at least one item.
    std::function<bool(const pf::Value& reply)> probeHasItems;
    // After a probe reply: the owner reloads its table.
    std::function<void()> probeArrived;
    // A refresh ended (its page reply arrived, it failed or timed out): the owner closes the
    // refresh header.
    std::function<void()> refreshFinished;
    // A page or probe request failed (or a refresh timed out): the owner shows its list so that
    // the user can try again.
    std::function<void()> requestFailed;

    // --- triggers ---
    // Asks for page `currentPage`.
    void requestPage();
    // Pull-to-refresh: back to page 1 and ask for it.
    void refresh();
    // The footer row was tapped: the next page, whether or not more exists.
    void footerTapped() { requestPage(); }
    // The list ended a deceleration: the next page when it rests at its bottom and more exists.
    void didEndDecelerating(const pf::ScrollView& list);
    // Whether the list shows its end: offset + height + 1 reaches the content height.
    static bool isAtEnd(const pf::ScrollView& list);

    // A reply reached the owner: handled when it came from the held page or probe requestor.
    bool handleReply(const NetworkRequestor* requestor, const pf::Bytes& data);
    // Whether a reply counts: a JSON object with "ret" 0 and a "body" list.
    static bool isListReply(const pf::Value& reply);
    // A transport failure reached the owner: handled when it came from the held requestors.
    bool handleFailure(const NetworkRequestor* requestor);

    // --- state ---
    int currentPage() const { return m_currentPage; }
    bool isMoreInfo() const { return m_isMoreInfo; }
    bool isReloading() const { return m_reloading; }
    // Set once the first probe reply (or a failed page reply) has arrived; never cleared.
    bool isLoadedFinished() const { return m_loadedFinished; }
    const std::shared_ptr<NetworkRequestor>& pageRequestor() const { return m_pageRequestor; }
    const std::shared_ptr<NetworkRequestor>& probeRequestor() const { return m_probeRequestor; }

private:
    void requestPageNumber(int page);
    void pageReplyArrived(const pf::Bytes& data);
    void probeReplyArrived(const pf::Bytes& data);
    void requestEndedWithoutReply();

    Options m_options;
    int m_currentPage { 1 };
    int m_pageAsked { 1 }; // the page of the held page request
    bool m_isMoreInfo { false };
    bool m_reloading { false };
    bool m_loadedFinished { false };
    int m_refreshCount { 0 }; // tells a refresh's time-out whether its refresh still runs
    std::shared_ptr<NetworkRequestor> m_pageRequestor;
    std::shared_ptr<NetworkRequestor> m_probeRequestor;
};
