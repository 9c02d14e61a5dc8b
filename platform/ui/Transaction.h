#pragma once

#include <functional>

namespace pf {

// Groups layer animations so that one completion runs when all of them have ended (or were
// removed). Transactions nest; an animation joins the innermost open one. A transaction that
// added no animation runs its completion on the next turn of the run loop after `commit`.
class Transaction {
public:
    static void begin();
    static void commit();
    static void setCompletionBlock(std::function<void()> completion);
    static bool isOpen();

    // For Layer: the animation joins the innermost open transaction, if any.
    static void track(class KeyframeAnimation& animation);
    // Test set-up: drops open transactions.
    static void reset();
};

}
