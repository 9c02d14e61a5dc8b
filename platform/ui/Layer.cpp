#include "platform/ui/Layer.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/KeyframeAnimation.h"
#include "platform/ui/Transaction.h"
#include "platform/ui/View.h"

#include <algorithm>

namespace pf {

Layer::~Layer()
{
    for (auto& [key, animation] : m_animations)
        animation->detachFromLayer();
}

bool Layer::masksToBounds() const
{
    return m_view.clipsToBounds();
}

void Layer::setMasksToBounds(bool on)
{
    m_view.setClipsToBounds(on);
}

Point Layer::position() const
{
    return m_view.center();
}

void Layer::setPosition(Point p)
{
    m_view.setCenter(p);
}

double Layer::opacity() const
{
    return m_view.alpha();
}

std::shared_ptr<KeyframeAnimation> Layer::presentedAnimation(const char* keyPath) const
{
    // The most recently added animation of the property that still shows something.
    for (auto it = m_animations.rbegin(); it != m_animations.rend(); ++it) {
        const auto& animation = it->second;
        if (animation->keyPath() != keyPath)
            continue;
        if (animation->isRunning() || (animation->hasFinished() && animation->fillForwards))
            return animation;
    }
    return nullptr;
}

Point Layer::presentationPosition() const
{
    if (auto animation = presentedAnimation("position"))
        return animation->valueAt(RunLoop::main().monotonicNow());
    return position();
}

double Layer::presentationOpacity() const
{
    if (auto animation = presentedAnimation("opacity"))
        return animation->valueAt(RunLoop::main().monotonicNow()).x;
    return opacity();
}

bool Layer::isFadingOut() const
{
    auto animation = presentedAnimation("opacity");
    return animation && animation->isRunning() && opacity() < 0.01 && presentationOpacity() >= 0.01;
}

Size Layer::presentationSize() const
{
    if (auto animation = presentedAnimation("bounds.size")) {
        Point p = animation->valueAt(RunLoop::main().monotonicNow());
        return { p.x, p.y };
    }
    return m_view.bounds().size;
}

void Layer::addAnimation(const std::shared_ptr<KeyframeAnimation>& animation, const std::string& key)
{
    if (!animation)
        return;
    if (!key.empty())
        removeAnimation(key);
    // An animation object added twice restarts: take it off first.
    auto same = std::find_if(m_animations.begin(), m_animations.end(), [&](const auto& e) { return e.second == animation; });
    if (same != m_animations.end()) {
        animation->interrupt();
        m_animations.erase(same);
    }
    Transaction::track(*animation);
    m_animations.emplace_back(key, animation);
    animation->start(this, RunLoop::main().monotonicNow());
}

void Layer::removeAnimation(const std::string& key)
{
    auto it = std::find_if(m_animations.begin(), m_animations.end(), [&](const auto& e) { return e.first == key; });
    if (it == m_animations.end())
        return;
    auto animation = it->second;
    m_animations.erase(it);
    animation->interrupt();
}

void Layer::removeAllAnimations()
{
    auto all = std::move(m_animations);
    m_animations.clear();
    for (auto& [key, animation] : all)
        animation->interrupt();
}

std::shared_ptr<KeyframeAnimation> Layer::animationForKey(const std::string& key) const
{
    for (const auto& [k, animation] : m_animations)
        if (k == key && !key.empty())
            return animation;
    return nullptr;
}

std::vector<std::string> Layer::animationKeys() const
{
    std::vector<std::string> keys;
    for (const auto& [k, animation] : m_animations)
        if (!k.empty())
            keys.push_back(k);
    return keys;
}

void Layer::animationDidFinish(KeyframeAnimation* animation)
{
    auto it = std::find_if(m_animations.begin(), m_animations.end(), [&](const auto& e) { return e.second.get() == animation; });
    if (it != m_animations.end())
        m_animations.erase(it);
}

}
