#pragma once

#include "core/views/WrongNibFormat.h"
#include "platform/ui/Nib.h"
#include "platform/ui/View.h"

#include <memory>
#include <string>
#include <typeinfo>

// Loads views from the layout named after their class, and shows a passing tip on a view.
//
// Rules:
// - A class's layout name is its C++ class name without namespaces.
// - Loading takes the first top-level object of the asked class; a layout without one raises
//   WrongNibFormat, an unknown layout name the platform's NibError "NibNotFound".
class ViewAddition {
public:
    // The class name of `type`, demangled, namespaces left out ("GiftListCell").
    static std::string classNameOf(const std::type_info& type);

    template <class T>
    static std::string nibName() { return classNameOf(typeid(T)); }

    template <class T>
    static std::shared_ptr<T> loadFromNIB()
    {
        const std::string name = nibName<T>();
        if (auto view = pf::Nib::instantiate(name).template firstOfType<T>())
            return view;
        throw WrongNibFormat(wrongFormatReason(name, name));
    }

    // The first top-level view of any class in the named layout.
    static std::shared_ptr<pf::View> loadWithNibName(const std::string& nibName);

    // Puts a dark rounded box with `text` (tagged kTipTag) in the middle of `view`, fades it
    // out over 2 seconds and removes it then (the oldest tip box first).
    static void showTip(const std::shared_ptr<pf::View>& view, const std::string& text);
    // Removes the tip box from `view`, if it has one.
    static void removeTip(const std::shared_ptr<pf::View>& view);

    static constexpr int kTipTag = 1000;
    static constexpr double kTipDuration = 2.0;

    static std::string wrongFormatReason(const std::string& nibName, const std::string& className);
};
