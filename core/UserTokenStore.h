#pragma once

#include <optional>
#include <string>

// Where the logged-in user's token is kept: the standard user defaults under "usertoken".
//
// The login manager records and clears it; the portal client reads it for the requests that
// carry it. Both depend on this store, so the portal client needs nothing of the manager that
// drives it.
class UserTokenStore {
public:
    static constexpr const char* kUserTokenKey = "usertoken";

    // Whether `token` can be kept as it is: the defaults' file holds no text with a NUL (JSON may
    // carry one). A portal reply handing out any other token hands out no login, since the store
    // would refuse it and keep the earlier user's.
    static bool canKeep(const std::string& token);
    // Stores the token over any earlier one. False when the disk does not take it (a full disk):
    // then the earlier token, or none, stays, in memory as on disk, and nobody is logged in anew.
    static bool record(const std::string& token);
    // The stored token; none when nobody is logged in.
    static std::optional<std::string> token();
    // The token is forgotten at once; on a disk that does not take the change now, the file
    // loses it at the next write that passes or the next launch (see UserDefaults).
    static void clear();
};
