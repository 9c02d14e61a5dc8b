#include "core/managers/AppointmentManager.h"

#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/RunLoop.h"

#include <cmath>

std::shared_ptr<AppointmentManager> AppointmentManager::sharedInstance()
{
    static std::shared_ptr<AppointmentManager> instance(new AppointmentManager());
    return instance;
}

DataBaseManager::Status AppointmentManager::addGiftAppointment(GiftDetailInfo& info)
{
    return GiftDetailInfoDatabaseManager::sharedInstance()->insertDataIntoTableWithGiftDetailInfo(info);
}

std::optional<GiftDetailInfo::List> AppointmentManager::allAppointmentInfo()
{
    return GiftDetailInfoDatabaseManager::sharedInstance()->retrieveDataFromTable();
}

DataBaseManager::Status AppointmentManager::removeOutDateAppointment()
{
    // Opening times are whole seconds: "before now - a day" for a whole second S means S below
    // the limit rounded up, whatever fraction of a second the clock shows. 64-bit arithmetic
    // keeps the limit right past 2038.
    const double limit = std::ceil(pf::RunLoop::main().now() - kKeepAfterOpening);
    return GiftDetailInfoDatabaseManager::sharedInstance()->deleteRecordInTableOutOfDateTime(static_cast<long long>(limit));
}
