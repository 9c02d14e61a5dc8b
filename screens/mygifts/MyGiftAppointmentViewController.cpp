#include "screens/mygifts/MyGiftAppointmentViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/PortalReplyEnvelope.h"
#include "core/managers/AppointmentManager.h"
#include "core/records/GiftStatusInfo.h"
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "core/views/ColorFactory.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/GiftScreenFactory.h"
#include "screens/mygifts/MyGiftAppointmentTableViewCell.h"

std::shared_ptr<MyGiftAppointmentViewController> MyGiftAppointmentViewController::self()
{
    return std::static_pointer_cast<MyGiftAppointmentViewController>(shared_from_this());
}

void MyGiftAppointmentViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    m_giftStatusCheckIndex = 0;
    fetchAppointmentInfo();
    startRequestGiftStatus();
    addTableView();
    assignViewHeight();
}

void MyGiftAppointmentViewController::fetchAppointmentInfo()
{
    auto stored = AppointmentManager::sharedInstance()->allAppointmentInfo();
    m_storeUnreadable = !stored;
    m_appointmentInfo = stored ? std::move(*stored) : GiftDetailInfo::List {};
}

void MyGiftAppointmentViewController::addTableView()
{
    if (m_tableView)
        return;
    m_tableView = std::make_shared<pf::TableView>(view()->bounds());
    m_tableView->setBackgroundColor(pf::Color::clear());
    m_tableView->setDataSource(self());
    m_tableView->setDelegate(self());
    m_tableView->setSeparatorStyle(pf::TableViewSeparatorStyle::None);
    view()->addSubview(m_tableView);
}

void MyGiftAppointmentViewController::assignViewHeight()
{
    double ownerHeight = view()->frame().size.height + kTabBarHeight;
    if (auto owner = superViewController())
        ownerHeight = owner->view()->frame().size.height;
    view()->setFrame({ 0, kTabBarHeight, 320, ownerHeight - kTabBarHeight });
    m_tableView->setFrame(view()->bounds());
}

void MyGiftAppointmentViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    if (m_storeUnreadable && m_unreadableShown) {
        fetchAppointmentInfo();
        if (!m_storeUnreadable) {
            m_giftStatusCheckIndex = 0;
            startRequestGiftStatus();
        }
    }
    m_unreadableShown = m_storeUnreadable;
    if (m_tableView)
        m_tableView->reloadData();
}

// --- the status walk ---

void MyGiftAppointmentViewController::startRequestGiftStatus()
{
    if (!m_appointmentInfo.empty())
        requestGiftStatus(m_appointmentInfo.front()->fid());
}

void MyGiftAppointmentViewController::requestGiftStatus(int fid)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftCheck);
    if (!address) {
        m_networkRequestor.reset();
        return;
    }
    m_askedFid = fid;
    m_networkRequestor = NetworkRequestor::create();
    m_networkRequestor->startPostMethodURLConnection(*address, NetworkParameterAssistant::parametersForGiftStatus(fid), false, self());
}

void MyGiftAppointmentViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor,
    const pf::Bytes& data)
{
    if (requestor && requestor == m_networkRequestor)
        requestGiftStatusFinished(data);
}

void MyGiftAppointmentViewController::requestGiftStatusFinished(const pf::Bytes& data)
{
    auto envelope = PortalReplyEnvelope::parse(data);
    std::shared_ptr<GiftStatusInfo> state;
    if (envelope.isObject() && envelope.isSuccess()) {
        for (auto& item : GiftStatusInfo::listFromDictionary(envelope.reply()).value_or(GiftStatusInfo::List {})) {
            // A reply about another gift must not rewrite that gift's booking.
            if (item->fid() == m_askedFid) {
                state = item;
                break;
            }
        }
    }
    if (!state) {
        m_networkRequestor.reset();
        return;
    }

    auto apply = [&](GiftDetailInfo& info) {
        info.setStatus(state->status());
        if (state->startTime() > 0)
            info.setStartTime(state->startTime());
        if (state->endTime() > 0)
            info.setEndTime(state->endTime());
    };
    auto store = GiftDetailInfoDatabaseManager::sharedInstance();
    if (auto stored = store->retrieveDataFromTableWithFid(m_askedFid)) {
        apply(*stored);
        if (store->updateRecordInTable(*stored) != DataBaseManager::Status::Ok)
            pf::Log::format("The booking of gift %d could not be updated.", m_askedFid);
    }
    for (auto& shown : m_appointmentInfo) {
        if (shown->fid() == m_askedFid)
            apply(*shown);
    }
    if (m_tableView)
        m_tableView->reloadData();

    ++m_giftStatusCheckIndex;
    requestNextGiftStatus();
}

void MyGiftAppointmentViewController::requestNextGiftStatus()
{
    if (static_cast<size_t>(m_giftStatusCheckIndex) >= m_appointmentInfo.size()) {
        m_networkRequestor.reset();
        if (m_tableView)
            m_tableView->reloadData();
        return;
    }
    requestGiftStatus(m_appointmentInfo[static_cast<size_t>(m_giftStatusCheckIndex)]->fid());
}

// --- table ---

int MyGiftAppointmentViewController::numberOfRowsInSection(pf::TableView&, int)
{
    if (m_storeUnreadable)
        return 1;
    return static_cast<int>(m_appointmentInfo.size());
}

std::shared_ptr<pf::TableViewCell> MyGiftAppointmentViewController::unreadableCell() const
{
    // The look of the obtained codes' refused page beside it: clear, no highlight, the text
    // centred in black, on two lines should it not fit one.
    auto cell = std::make_shared<pf::TableViewCell>();
    cell->setBackgroundColor(pf::Color::clear());
    cell->setSelectionStyle(pf::TableViewCellSelectionStyle::None);
    auto label = cell->textLabel();
    label->setText(kUnreadableText);
    label->setTextAlignment(pf::TextAlignment::Center);
    label->setTextColor(pf::Color::black());
    label->setFont(pf::Font::system(17));
    label->setNumberOfLines(2);
    return cell;
}

std::shared_ptr<pf::TableViewCell> MyGiftAppointmentViewController::cellForRowAtIndexPath(pf::TableView& tableView,
    const pf::IndexPath& indexPath)
{
    if (m_storeUnreadable)
        return unreadableCell();
    MyGiftAppointmentTableViewCell::registerNib();
    auto cell = TableViewCellAddition::dequeOrCreateInTable<MyGiftAppointmentTableViewCell>(tableView);
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < m_appointmentInfo.size())
        cell->refreshCell(*m_appointmentInfo[static_cast<size_t>(indexPath.row)]);
    cell->contentView()->setBackgroundColor(pf::Color::clear());
    return cell;
}

double MyGiftAppointmentViewController::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath&)
{
    return MyGiftAppointmentTableViewCell::kRowHeight;
}

void MyGiftAppointmentViewController::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= m_appointmentInfo.size()) {
        tableView.deselectRowAtIndexPath(indexPath, false); // the row saying the store is unreadable
        return;
    }
    auto owner = superViewController();
    auto navigation = owner ? owner->navigationController() : navigationController();
    auto detail = GiftScreenFactory::giftDetailViewController(m_appointmentInfo[static_cast<size_t>(indexPath.row)]->fid());
    if (navigation && detail)
        navigation->pushViewController(detail, true);
    tableView.deselectRowAtIndexPath(indexPath, true);
}
