#pragma once

#include "core/NetworkParameterAssistant.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

class PagedList;

namespace pf {
class TableView;
class TableViewCell;
}

// What a screen tells the paged list it shows: how to ask the portal for a page, how to read the
// items of a reply, and the rows of its items. The list keeps everything else (the table, the
// footer, the refresh header, the paging and its failures).
class PagedListDelegate {
public:
    // One page request to the portal.
    struct Request {
        std::string address;
        RequestParameters parameters;
        bool isUserTokenNeeded { false };
    };

    virtual ~PagedListDelegate() = default;

    // The request of `page`; none when there is nothing to ask (the list then sends nothing).
    virtual std::optional<Request> pagedListRequestForPage(PagedList& list, int page) = 0;
    // A page arrived: its items replace the screen's (`replace`, page 1) or are added to them.
    virtual void pagedListPageArrived(PagedList& list, const pf::Value& reply, bool replace) = 0;
    // Whether a look-ahead reply holds at least one usable item.
    virtual bool pagedListReplyHasItems(PagedList& list, const pf::Value& reply) = 0;

    virtual int pagedListNumberOfItems(PagedList& list) = 0;
    virtual std::shared_ptr<pf::TableViewCell> pagedListCellForItem(PagedList& list, pf::TableView& table, int index) = 0;
    // The row of item `index` was tapped (the list deselects it afterwards).
    virtual void pagedListDidSelectItem(PagedList& list, int index) = 0;

    // Optional: a page answered with the end or failed (its JSON; missing when it was none).
    virtual void pagedListPageFailed(PagedList& list, const pf::Value& reply) { }
    // Optional: the rows are about to be shown, because a look-ahead answered or a request failed.
    virtual void pagedListWillShowRows(PagedList& list) { }
};
