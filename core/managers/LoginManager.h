#pragma once

#include <memory>
#include <optional>
#include <string>

// The login state of the app: the user token kept in the user defaults under "usertoken", so
// that it survives restarts, and (with the login requests) the current user.
//
// Rules:
// - The token is read at the moment a request is built or started, so a request started
//   before a new token is recorded carries the old one.
// - The token never expires on the client; only a logout clears it.
class LoginManager : public std::enable_shared_from_this<LoginManager> {
public:
    static std::shared_ptr<LoginManager> sharedInstance();

    // Stores the token over any earlier one.
    void recordUserToken(const std::string& token);
    // The stored token; none when nobody is logged in.
    std::optional<std::string> getUserToken() const;
    void clearUserToken();

    static constexpr const char* kUserTokenKey = "usertoken";
};
