#pragma once

// Test helpers that talk to the local portal the way the app's client does: the configuration
// pointed at it, one signed request sent and waited for, a login whose token is kept, and the
// forms of the requests it received.

#include "core/AppInfoConfiguration.h"
#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/managers/LoginManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PortalTestClient {
public:
    static constexpr const char* kDeviceIdentifier = "0123456789abcdef0123456789abcdef01234567";

    // Signs with the portal's key and client id and sends to `apiBase`: the portal's own API,
    // or a stand-in server's.
    static void pointAt(portal::PortalServer& portal, const std::string& apiBase)
    {
        auto configuration = AppInfoConfiguration::sharedInstance();
        configuration->setAppKey(portal.service().options().appKey);
        configuration->setOpenID(portal.service().options().openID);
        configuration->setApiBaseURL(apiBase);
    }

    // The whole client on the portal: its API, its forum pages and a fixed device identifier.
    static void pointEverythingAt(portal::PortalServer& portal)
    {
        pointAt(portal, portal.apiBaseURL());
        AppInfoConfiguration::sharedInstance()->setForumBaseURL(portal.rootURL());
        pf::UserDefaults::standard()->setString("imei", kDeviceIdentifier);
    }

    // Sends one operation and runs the loop until its reply arrives; the reply read as JSON
    // (missing when it is none or never came).
    static pf::Value send(pf::TaskEnvironment& env, int operation, const RequestParameters& parameters, bool withToken)
    {
        struct Collector : NetworkRequestorDelegate {
            std::optional<pf::Bytes> data;
            void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>&, const pf::Bytes& bytes) override { data = bytes; }
        };
        auto collector = std::make_shared<Collector>();
        auto address = NetworkParameterAssistant::getRequestAddress(operation);
        EXPECT_TRUE(address) << "no address for operation " << operation;
        if (!address)
            return pf::Value();
        auto requestor = NetworkRequestor::create();
        requestor->startPostMethodURLConnection(*address, parameters, withToken, collector);
        EXPECT_TRUE(env.runUntil([&] { return collector->data.has_value(); }));
        return pf::Json::parse(collector->data.value_or(pf::Bytes())).value_or(pf::Value());
    }

    // Logs in on the portal directly and stores the token, as a login screen would.
    static std::string storeTokenOf(pf::TaskEnvironment& env, const std::string& user, const std::string& password)
    {
        pf::Value reply = send(env, NetworkParameterAssistant::UserCredentials,
            NetworkParameterAssistant::parametersForUserLogin(user, password, "password"), false);
        EXPECT_EQ(reply["ret"].intValue(), 0) << reply["msg"].stringValue();
        std::string token = reply["body"]["usertoken"].stringValue();
        LoginManager::sharedInstance()->recordUserToken(token);
        return token;
    }

    using Form = std::map<std::string, std::string>;

    // The fields of a form body ("a=1&b=2"), as sent: nothing is unescaped.
    static Form formFields(const std::string& body)
    {
        Form fields;
        size_t start = 0;
        while (start < body.size()) {
            size_t end = body.find('&', start);
            if (end == std::string::npos)
                end = body.size();
            std::string pair = body.substr(start, end - start);
            size_t eq = pair.find('=');
            if (eq != std::string::npos)
                fields[pair.substr(0, eq)] = pair.substr(eq + 1);
            start = end + 1;
        }
        return fields;
    }

    // The forms of the requests the portal received for an operation ("ka/list"), in order.
    static std::vector<Form> formsOf(const portal::PortalServer& portal, const std::string& operation)
    {
        std::vector<Form> forms;
        for (const auto& request : portal.receivedRequests()) {
            if (request.path == "/api/" + operation)
                forms.push_back(formFields(request.body));
        }
        return forms;
    }
};
