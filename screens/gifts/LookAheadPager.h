#pragma once

#include "platform/foundation/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class NetworkRequestor;

namespace pf {
class ScrollView;
}

// The paging of the app's lists (the gift list tabs, the search results, the obtained codes):
// pages of 20 items, and after every page a look-ahead "probe" of the next page whose items
// only tell whether more exist. The list's rows are shown once the probe has answered; the
// footer row shows a loading animation while more exists, the portal's word when it refused
// the page, and the end text otherwise.
//
// Rules:
// - A reply is read one of three ways. A JSON object whose "ret" is 0 and whose "body" is a list
//   (an empty one included) is a list. One whose "ret" is 0 and whose "body" is null says there
//   is nothing there: the end. Anything else (no JSON object, an error "ret", a "body" that is
//   neither) is a failure, and so is a request that ends without a reply.
// - `currentPage` is the page the next page request asks for: 1 at start, one more after
//   every page reply that is a list, back to 1 when a refresh's page 1 arrives. After page n
//   has arrived it is n + 1 and the probe has asked for page n + 1, which the next page
//   request asks for again, in full.
// - A page list of page 1 replaces the rows, a later one adds to them; then the probe goes
//   out, the page counter advances and a running refresh ends.
// - `isMoreInfo` says whether the footer offers more. A probe list sets it to whether it holds
//   items; an end (a probe's or a page's) clears it. A failure says nothing about the end, so
//   it sets it: the footer keeps offering more, and reaching the end of the list (where the
//   list loads there) or a footer tap asks for the same page again.
// - A failure that is the portal's refusal (a JSON object without "ret" 0: an unknown or
//   expired token, say) is kept as `refusal`, with the portal's "msg" (empty when it gave none),
//   so the footer can say why instead of showing an animation nothing will end. The next page
//   or probe reply, a transport failure and `reset` forget it.
// - An end or a failed page changes neither the rows nor the page counter; a running refresh
//   ends and the owner is told (`pageFailed`, with the reply), so that it shows its rows.
// - The probe's answer (or its failure) marks the list as loaded and has the owner reload its
//   table; so does a page's end or failure.
// - The next page is asked for when the list ends a deceleration at its bottom while more
//   exists, or when the footer is tapped (always). Only the list's own scroll view may be
//   passed to `didEndDecelerating`; other scroll views in the screen must not page it.
// - Nothing stops a second request while one runs: a newer request replaces the held
//   requestor and the older one's reply matches nothing and is dropped.
// - A request that fails in transport ends a running refresh at once and tells the owner
//   (`requestFailed`). A refresh whose page reply has not come within `kRefreshTimeout` seconds
//   is cancelled and ends the same way, so the next pull works. A refresh whose request could
//   not be started (the owner had nothing to send) ends at once and changes nothing else.
// - `reset` forgets everything (the rows' owner empties its rows): held requests are cancelled,
//   a running refresh ends, and the pager is as new.
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
    // A page reply that is an end or a failure (its JSON; missing when the bytes were no JSON):
    // the owner shows what it has (its rows, the footer).
    std::function<void(const pf::Value& reply)> pageFailed;
    // Whether a probe reply that is a list holds at least one item.
    std::function<bool(const pf::Value& reply)> probeHasItems;
    // After a probe reply: the owner reloads its table.
    std::function<void()> probeArrived;
    // A refresh ended (its page reply arrived, it failed or timed out): the owner closes the
    // refresh header.
    std::function<void()> refreshFinished;
    // A page or probe request failed in transport (or a refresh timed out): the owner shows its
    // list so that the user can try again.
    std::function<void()> requestFailed;

    // --- triggers ---
    // Asks for page `currentPage`.
    void requestPage();
    // Pull-to-refresh: back to page 1 and ask for it.
    void refresh();
    // Forgets the list: cancels the held requests, ends a running refresh, page 1, "more" as
    // at start.
    void reset();
    // The footer row was tapped: the next page, whether or not more exists.
    void footerTapped() { requestPage(); }
    // The list ended a deceleration: the next page when it rests at its bottom and more exists.
    void didEndDecelerating(const pf::ScrollView& list);
    // Whether the list shows its end: offset + height + 1 reaches the content height.
    static bool isAtEnd(const pf::ScrollView& list);

    // A reply reached the owner: handled when it came from the held page or probe requestor.
    bool handleReply(const NetworkRequestor* requestor, const pf::Bytes& data);
    enum class ReplyKind { List, End, Failure };
    static ReplyKind kindOf(const pf::Value& reply);
    // Whether a reply is a list: a JSON object with "ret" 0 and a "body" list.
    static bool isListReply(const pf::Value& reply) { return kindOf(reply) == ReplyKind::List; }
    // A transport failure reached the owner: handled when it came from the held requestors.
    bool handleFailure(const NetworkRequestor* requestor);

    // --- state ---
    int currentPage() const { return m_currentPage; }
    bool isMoreInfo() const { return m_isMoreInfo; }
    bool isReloading() const { return m_reloading; }
    // The portal's message when it refused the latest page or probe that answered (empty when it
    // gave none); none after any other outcome.
    const std::optional<std::string>& refusal() const { return m_refusal; }
    // Set once the first probe reply, a page's end or any failure has arrived; never cleared.
    bool isLoadedFinished() const { return m_loadedFinished; }
    const std::shared_ptr<NetworkRequestor>& pageRequestor() const { return m_pageRequestor; }
    const std::shared_ptr<NetworkRequestor>& probeRequestor() const { return m_probeRequestor; }

private:
    void requestPageNumber(int page);
    void pageReplyArrived(const pf::Bytes& data);
    void probeReplyArrived(const pf::Bytes& data);
    void requestEndedWithoutReply();
    void endRefresh();
    static std::optional<std::string> refusalOf(const pf::Value& reply);

    Options m_options;
    int m_currentPage { 1 };
    int m_pageAsked { 1 }; // the page of the held page request
    bool m_isMoreInfo { false };
    bool m_reloading { false };
    bool m_loadedFinished { false };
    std::optional<std::string> m_refusal;
    int m_refreshCount { 0 }; // tells a refresh's time-out whether its refresh still runs
    std::shared_ptr<NetworkRequestor> m_pageRequestor;
    std::shared_ptr<NetworkRequestor> m_probeRequestor;
};
