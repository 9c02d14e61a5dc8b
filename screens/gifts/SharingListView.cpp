#include "screens/gifts/SharingListView.h"

#include "core/managers/SharingManager.h"
#include "core/views/ColorFactory.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "screens/gifts/SharingListTableViewCell.h"

std::shared_ptr<SharingListView> SharingListView::create(const pf::Rect& frame, const std::string& title)
{
    auto view = std::make_shared<SharingListView>(frame);
    view->setDisplayName(kSheetName);
    view->assignTapGestureOnBackground();
    view->addTableView();
    view->addTableHeaderViewWithTitle(title);
    view->addSubview(view->m_tableView);
    view->m_tableView->reloadData();
    return view;
}

SharingListView::SharingListView(const pf::Rect& frame)
    : pf::View(frame)
{
    SharingListTableViewCell::registerNib();
}

void SharingListView::assignTapGestureOnBackground()
{
    m_backdrop = std::make_shared<pf::View>(pf::Rect { 0, 0, frame().size.width, frame().size.height });
    m_backdrop->setBackgroundColor(pf::Color::gray());
    m_backdrop->setAlpha(0.8);
    m_backdrop->setUserInteractionEnabled(true);
    // The recogniser lives with the backdrop, which lives with this sheet.
    m_tapGestureRecognizer = std::make_shared<pf::TapGestureRecognizer>([this](pf::GestureRecognizer&) { touchBackground(); });
    m_backdrop->addGestureRecognizer(m_tapGestureRecognizer);
    addSubview(m_backdrop);
}

void SharingListView::addTableView()
{
    m_tableView = std::make_shared<pf::TableView>(pf::Rect { 53, 100, 213, 197 });
    m_tableView->setBackgroundColor(ColorFactory::colorWithHexRGB("f7f8f3"));
    m_tableView->setScrollEnabled(false);
    m_tableView->setSeparatorStyle(pf::TableViewSeparatorStyle::None);
    auto self = std::static_pointer_cast<SharingListView>(sharedView());
    m_tableView->setDataSource(self);
    m_tableView->setDelegate(self);
    m_iconNamesArray = { "parley_time_line.png", "parley_session.png", "lzone.png", "blip.png" };
    m_titlesArray = { "动态圈", "派聊", "LM空间", "闪讯" };
}

void SharingListView::addTableHeaderViewWithTitle(const std::string& title)
{
    auto header = std::make_shared<pf::View>(pf::Rect { 0, 0, 213, kHeaderHeight });
    auto label = std::make_shared<pf::Label>(pf::Rect { 20, 8, 160, 20 });
    label->setBackgroundColor(pf::Color::clear());
    label->setTextColor(ColorFactory::colorWithHexRGB("ffb701").value_or(pf::Color::black()));
    label->setText("分享  " + title);
    header->addSubview(label);
    auto line = std::make_shared<pf::View>(pf::Rect { 0, 31, 213, 1 });
    line->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
    header->addSubview(line);
    m_tableView->setTableHeaderView(header);
}

int SharingListView::numberOfRowsInSection(pf::TableView&, int)
{
    return kRowCount;
}

std::shared_ptr<pf::TableViewCell> SharingListView::cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    auto cell = TableViewCellAddition::dequeOrCreateInTable<SharingListTableViewCell>(tableView);
    size_t row = size_t(indexPath.row);
    if (row < m_titlesArray.size())
        cell->refreshCell(m_iconNamesArray[row], m_titlesArray[row]);
    return cell;
}

double SharingListView::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath&)
{
    return kRowHeight;
}

void SharingListView::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    switch (indexPath.row) {
    case 0:
        sharingWithParleyTimeLine();
        break;
    case 1:
        sharingWithParleySession();
        break;
    case 2:
        sharingWithLzone();
        break;
    case 3:
        sharingWithBlip();
        break;
    default:
        break;
    }
    tableView.deselectRowAtIndexPath(indexPath, true);
}

void SharingListView::sharingWithParleyTimeLine()
{
    SharingManager::sharedInstance()->sharingWithParley(m_infoKeeper, SharingManager::kParleyTimelineShareType, m_shareDataType);
    setHidden(true);
}

void SharingListView::sharingWithParleySession()
{
    SharingManager::sharedInstance()->sharingWithParley(m_infoKeeper, SharingManager::kParleySessionShareType, m_shareDataType);
    setHidden(true);
}

void SharingListView::sharingWithLzone()
{
    SharingManager::sharedInstance()->sharingWithLzone(m_infoKeeper, m_shareDataType);
    setHidden(true);
}

void SharingListView::sharingWithBlip()
{
    SharingManager::sharedInstance()->sharingWithBlip(m_infoKeeper, m_shareDataType);
    setHidden(true);
}

void SharingListView::touchBackground()
{
    setHidden(true);
}
