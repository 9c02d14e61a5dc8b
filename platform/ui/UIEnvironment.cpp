#include "platform/ui/UIEnvironment.h"

#include "platform/ui/AlertView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Transaction.h"
#include "platform/ui/Window.h"

namespace pf {

void UIEnvironment::reset()
{
    AlertView::resetAll();
    Window::resetAll();
    Responder::resetGlobals();
    Animation::reset();
    Transaction::reset();
    Interaction::reset();
    Screen::main().reset();
}

}
