#pragma once

namespace pf {

class AlertView;

// Hears which button of an alert was tapped and when the alert goes away. Optional.
class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView& alertView, int buttonIndex) { }
    virtual void alertViewWillDismissWithButtonIndex(AlertView& alertView, int buttonIndex) { }
    virtual void alertViewDidDismissWithButtonIndex(AlertView& alertView, int buttonIndex) { }
};

}
