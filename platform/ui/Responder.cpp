#include "platform/ui/Responder.h"

#include "platform/ui/Touch.h"

namespace pf {

namespace {
    std::weak_ptr<Responder>& firstResponderSlot()
    {
        static std::weak_ptr<Responder> slot;
        return slot;
    }
    std::shared_ptr<Responder>& applicationSlot()
    {
        static std::shared_ptr<Responder> slot;
        return slot;
    }
}

Responder::~Responder() = default;

void Responder::onAction(const std::string& action, ActionHandler handler)
{
    if (handler)
        m_actions[action] = std::move(handler);
    else
        m_actions.erase(action);
}

bool Responder::respondsToAction(const std::string& action) const
{
    return m_actions.count(action) > 0;
}

bool Responder::performAction(const std::string& action, const std::shared_ptr<View>& sender)
{
    auto it = m_actions.find(action);
    if (it == m_actions.end())
        return false;
    ActionHandler handler = it->second; // the handler may replace itself while running
    handler(sender);
    return true;
}

std::shared_ptr<Responder> Responder::sendActionUpChain(const std::string& action, const std::shared_ptr<View>& sender)
{
    std::shared_ptr<Responder> current = shared_from_this();
    int guard = 0;
    while (current && guard++ < 10000) {
        if (current->respondsToAction(action) && current->performAction(action, sender))
            return current;
        current = current->nextResponder();
    }
    return nullptr;
}

std::shared_ptr<Responder> Responder::sendAction(const std::string& action, const std::shared_ptr<View>& sender,
    const std::shared_ptr<Responder>& from)
{
    std::shared_ptr<Responder> start = currentFirstResponder();
    if (!start)
        start = from;
    if (!start)
        return nullptr;
    return start->sendActionUpChain(action, sender);
}

bool Responder::becomeFirstResponder()
{
    if (!canBecomeFirstResponder())
        return false;
    auto current = currentFirstResponder();
    if (current.get() == this)
        return true;
    if (current && !current->resignFirstResponder())
        return false;
    firstResponderSlot() = weak_from_this();
    return true;
}

bool Responder::resignFirstResponder()
{
    if (!canResignFirstResponder())
        return false;
    if (isFirstResponder())
        firstResponderSlot().reset();
    return true;
}

bool Responder::isFirstResponder() const
{
    return currentFirstResponder().get() == this;
}

std::shared_ptr<Responder> Responder::currentFirstResponder()
{
    return firstResponderSlot().lock();
}

void Responder::setCurrentFirstResponder(const std::shared_ptr<Responder>& responder)
{
    firstResponderSlot() = responder;
}

void Responder::touchesBegan(const Touch& touch)
{
    if (auto next = nextResponder())
        next->touchesBegan(touch);
}

void Responder::touchesMoved(const Touch& touch)
{
    if (auto next = nextResponder())
        next->touchesMoved(touch);
}

void Responder::touchesEnded(const Touch& touch)
{
    if (auto next = nextResponder())
        next->touchesEnded(touch);
}

void Responder::touchesCancelled(const Touch& touch)
{
    if (auto next = nextResponder())
        next->touchesCancelled(touch);
}

void Responder::setApplicationResponder(std::shared_ptr<Responder> responder)
{
    applicationSlot() = std::move(responder);
}

std::shared_ptr<Responder> Responder::applicationResponder()
{
    return applicationSlot();
}

void Responder::resetGlobals()
{
    firstResponderSlot().reset();
    applicationSlot().reset();
}

}
