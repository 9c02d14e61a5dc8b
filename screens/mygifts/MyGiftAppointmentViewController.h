#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/records/GiftDetailInfo.h"
#include "core/views/AdaptedViewController.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"

#include <memory>

class NetworkRequestor;

// The "已预约" page of the my-gifts screen: the gifts booked on this device, read from the
// booked-gift store when the view loads (latest booking first), and a walk that asks the
// portal for each one's current state ("ka/check", no token), one request at a time in list
// order. A row opens the gift's detail screen on the my-gifts screen's navigation controller.
//
// Rules:
// - The walk sends the next request only after the previous reply. A reply that is no JSON
//   object, has an error "ret" or holds no state of the gift asked about stops the walk for
//   the life of the page; the gifts after it keep what the store says.
// - Only the row of the gift asked about is updated, in the store and on screen at once:
//   its status always, its opening and closing times only when the reply has them (a missing
//   opening time read as 0 would have the next purge delete the booking).
// - A gift the store no longer holds is updated on screen only.
// - A store that cannot be read (a disk that times out) is no empty list: the page shows one
//   row saying so (`kUnreadableText`), centred as the obtained codes' list says a refused page,
//   and starts no walk. Each later appearance (sent by the my-gifts screen, also on a tap of the
//   tab already shown) reads the store again until it reads; then the rows show and the walk
//   starts. Once read, appearing only redraws the rows: the store is read once.
class MyGiftAppointmentViewController : public AdaptedViewController,
                                        public NetworkRequestorDelegate,
                                        public pf::TableViewDataSource,
                                        public pf::TableViewDelegate {
public:
    static constexpr double kTabBarHeight = 40;
    static constexpr const char* kUnreadableText = "预约读取失败，请稍后再试";

    MyGiftAppointmentViewController() = default;

    std::shared_ptr<pf::ViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<pf::ViewController> controller) { m_superViewController = std::move(controller); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

    int numberOfRowsInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;

    // --- state, for tests ---
    const GiftDetailInfo::List& appointmentInfo() const { return m_appointmentInfo; }
    // Whether the last read of the store failed (the page says so instead of a list).
    bool isStoreUnreadable() const { return m_storeUnreadable; }
    int giftStatusCheckIndex() const { return m_giftStatusCheckIndex; }
    // Whether the walk has ended, having asked about every gift or stopped at a failure.
    bool isWalkOver() const { return !m_networkRequestor; }
    std::shared_ptr<pf::TableView> tableView() const { return m_tableView; }

private:
    std::shared_ptr<MyGiftAppointmentViewController> self();
    void fetchAppointmentInfo();
    std::shared_ptr<pf::TableViewCell> unreadableCell() const;
    void addTableView();
    void assignViewHeight();
    void startRequestGiftStatus();
    void requestGiftStatus(int fid);
    void requestGiftStatusFinished(const pf::Bytes& data);
    void requestNextGiftStatus();

    std::weak_ptr<pf::ViewController> m_superViewController;
    GiftDetailInfo::List m_appointmentInfo;
    std::shared_ptr<pf::TableView> m_tableView;
    std::shared_ptr<NetworkRequestor> m_networkRequestor;
    int m_giftStatusCheckIndex { 0 };
    int m_askedFid { 0 };
    bool m_storeUnreadable { false };
    // The failure has been on screen, so the next appearance is a later one that reads again
    // (the appearance right after the load would read a second time at once).
    bool m_unreadableShown { false };
};
