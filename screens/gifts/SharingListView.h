#pragma once

#include "core/records/GiftDetailInfo.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace pf {
class TableView;
class TapGestureRecognizer;
}

// The share sheet of a gift: four targets (Parley timeline "动态圈", Parley session "派聊",
// LZone "LM空间", Blip "闪讯") in a small list over a dimmed backdrop. A row hands the gift and
// the data type to the sharing manager and hides the sheet; a tap on the backdrop only hides it.
// Whoever made it shows it again.
//
// Rules:
// - The list never scrolls: its header and four rows fit its height.
// - The sheet does not look at how a share went.
class SharingListView : public pf::View, public pf::TableViewDataSource, public pf::TableViewDelegate {
public:
    static constexpr int kRowCount = 4;
    static constexpr double kRowHeight = 40;
    static constexpr double kHeaderHeight = 32;
    // What messages about the screen call the sheet.
    static constexpr const char* kSheetName = "the share sheet";

    // A sheet over `frame` (its backdrop and list in place) whose header names `title`.
    static std::shared_ptr<SharingListView> create(const pf::Rect& frame, const std::string& title);
    explicit SharingListView(const pf::Rect& frame);

    int shareDataType() const { return m_shareDataType; }
    void setShareDataType(int type) { m_shareDataType = type; }
    const GiftDetailInfo::List& infoKeeper() const { return m_infoKeeper; }
    void setInfoKeeper(GiftDetailInfo::List items) { m_infoKeeper = std::move(items); }

    std::shared_ptr<pf::TableView> tableView() const { return m_tableView; }
    std::shared_ptr<pf::View> backdrop() const { return m_backdrop; }
    const std::vector<std::string>& iconNamesArray() const { return m_iconNamesArray; }
    const std::vector<std::string>& titlesArray() const { return m_titlesArray; }

    void sharingWithParleyTimeLine();
    void sharingWithParleySession();
    void sharingWithLzone();
    void sharingWithBlip();
    void touchBackground();

    int numberOfRowsInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;

    std::string dumpClassName() const override { return "SharingListView"; }

private:
    void assignTapGestureOnBackground();
    void addTableView();
    void addTableHeaderViewWithTitle(const std::string& title);

    int m_shareDataType { 0 };
    GiftDetailInfo::List m_infoKeeper;
    std::shared_ptr<pf::View> m_backdrop;
    std::shared_ptr<pf::TapGestureRecognizer> m_tapGestureRecognizer;
    std::shared_ptr<pf::TableView> m_tableView;
    std::vector<std::string> m_iconNamesArray;
    std::vector<std::string> m_titlesArray;
};
