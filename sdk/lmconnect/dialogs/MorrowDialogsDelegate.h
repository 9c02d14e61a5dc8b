#pragma once

#include "sdk/lmconnect/openapi/MorrowSession.h"

#include <memory>
#include <string>

class MorrowSessionDelegate;

// What the social dialogs and the avatar dialog ask of the session they serve: what every Open
// API call needs of it (`MorrowSession`: credentials and the table of calls), and besides its
// delegate, the nick name and the token of the login statistics. They hold it weakly and know
// nothing else of the session.
class MorrowDialogsDelegate : public MorrowSession {
public:
    // Who hears the dialogs' answers; none when it is gone.
    virtual std::shared_ptr<MorrowSessionDelegate> sessionDelegate() const = 0;
    // The nick name of the last user-info reply; "" before one.
    virtual std::string userNick() const = 0;
    // Asks the scripts for the user's information without showing it (the nick name comes
    // later); false when they could not ask.
    virtual bool getUserInfoNotShow() = 0;
    // The login statistics' token of the credentials held now; the vendor's pages take it as
    // "encrytoken".
    virtual std::string statisToken() const = 0;
};
