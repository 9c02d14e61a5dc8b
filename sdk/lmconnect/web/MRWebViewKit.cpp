#include "sdk/lmconnect/web/MRWebViewKit.h"

#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "sdk/lmconnect/web/MRWebNavigationController.h"
#include "sdk/lmconnect/web/MRWebViewController.h"

#include "platform/foundation/Url.h"
#include "platform/ui/Animation.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"

#include <cctype>

namespace {

// A page may call only these, each with its number of arguments.
struct SchemeCall {
    const char* name;
    size_t arguments;
};
constexpr SchemeCall kSchemeCalls[] = {
    { "setNavigationTitle:", 1 },
    { "setLeftNavigationBarButton:bindingJS:", 2 },
    { "setRightNavigationBarButton:bindingJS:", 2 },
    { "setNavigationBarHidden:animated:", 2 },
    { "doClose", 0 },
};

// A text's boolean value: leading blanks, a sign and zeros skipped, then "Y", "T" or a digit 1-9.
bool boolValue(const std::optional<std::string>& text)
{
    if (!text)
        return false;
    size_t i = 0;
    while (i < text->size() && std::isspace(static_cast<unsigned char>((*text)[i])))
        ++i;
    if (i < text->size() && ((*text)[i] == '+' || (*text)[i] == '-'))
        ++i;
    while (i < text->size() && (*text)[i] == '0')
        ++i;
    if (i == text->size())
        return false;
    char c = (*text)[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

bool inside(const pf::Rect& r, double x, double y)
{
    return x >= r.x() && x < r.x() + r.width() && y >= r.y() && y < r.y() + r.height();
}

// Whether no corner of the window lies on the screen.
bool isOffScreen(const pf::Window& window)
{
    pf::Rect screen = pf::Screen::main().bounds();
    pf::Rect f = window.frame();
    return !inside(screen, f.x(), f.y()) && !inside(screen, f.x() + f.width(), f.y()) && !inside(screen, f.x(), f.y() + f.height())
        && !inside(screen, f.x() + f.width(), f.y() + f.height());
}

pf::Rect leftOfScreen()
{
    pf::Rect screen = pf::Screen::main().bounds();
    return pf::Rect(screen.x() - screen.width(), screen.y(), screen.width(), screen.height());
}

}

std::shared_ptr<MRWebViewKit> MRWebViewKit::create()
{
    return std::shared_ptr<MRWebViewKit>(new MRWebViewKit());
}

std::shared_ptr<MRWebViewKit> MRWebViewKit::initWithUrl(std::string url, std::optional<std::string> webTitle,
    std::weak_ptr<MRWebViewKitDelegate> delegate)
{
    auto kit = create();
    kit->setValues(std::move(url), std::move(webTitle), std::move(delegate));
    return kit;
}

MRWebViewKit::~MRWebViewKit()
{
    m_delegate.reset();
    if (m_window) {
        // The windows it moved away come back with it.
        MrApiTool::MoveAllWindowIntoScreen(m_windowsArray, false);
        closeWindow();
    }
    if (m_webViewController)
        m_webViewController->setDelegate({});
}

void MRWebViewKit::setValues(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate)
{
    m_requestUrl = std::move(url);
    m_webTitle = std::move(webTitle);
    m_delegate = std::move(delegate);
}

std::shared_ptr<pf::NavigationController> MRWebViewKit::navigationController() const
{
    return m_window ? std::dynamic_pointer_cast<pf::NavigationController>(m_window->rootViewController()) : nullptr;
}

bool MRWebViewKit::open()
{
    auto self = shared_from_this();
    if (m_window) {
        // Open again while open: what this kit moved out returns before its window goes.
        MrApiTool::MoveAllWindowIntoScreen(m_windowsArray, false);
        closeWindow();
    }
    m_keywindow = pf::Window::keyWindow();

    m_window = std::make_shared<pf::Window>(leftOfScreen());
    m_window->setWindowLevel(pf::WindowLevel::Normal);
    m_window->setDisplayName(m_windowName);
    m_window->makeKeyAndVisible();
    pf::Animation::beginAnimations("moveIntoFrame");
    pf::Animation::setAnimationDuration(kOpenDuration);
    m_window->setFrame(pf::Screen::main().bounds());
    pf::Animation::commitAnimations();

    m_webViewController = std::make_shared<MRWebViewController>(m_requestUrl, m_webTitle, self);
    auto navigation = std::make_shared<MRWebNavigationController>(m_webViewController);
    m_webViewController->navigationItem().setTitle(m_webTitle.value_or(""));
    auto close = std::make_shared<pf::BarButtonItem>(kCloseTitle, pf::BarButtonItemStyle::Bordered, std::weak_ptr<pf::Responder>(), "onClickClose");
    std::weak_ptr<MRWebViewKit> weak = self;
    close->setHandler([weak] {
        if (auto kit = weak.lock())
            kit->onClickClose();
    });
    m_webViewController->navigationItem().setLeftBarButtonItem(close);
    m_window->setRootViewController(navigation);
    if (MRWebViewController::isLocalPageAddress(m_requestUrl))
        navigation->setNavigationBarHidden(true, false);

    m_windowsArray.push_back(m_window);
    for (auto& other : pf::Window::windows()) {
        if (other == m_window || other->windowLevel() >= pf::WindowLevel::Alert)
            continue;
        if (isOffScreen(*other))
            m_windowsArray.push_back(other);
    }
    MrApiTool::MoveAllWindowOutOfScreen(m_windowsArray, true);
    return true;
}

bool MRWebViewKit::openWithUrl(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate)
{
    setValues(std::move(url), std::move(webTitle), std::move(delegate));
    return open();
}

void MRWebViewKit::loadURL(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate)
{
    setValues(std::move(url), std::move(webTitle), std::move(delegate));
    if (!m_webViewController) {
        open();
        return;
    }
    m_webViewController->setWebTitle(m_webTitle);
    m_webViewController->setDelegate(shared_from_this());
    m_webViewController->setRequestURLStr(m_requestUrl);
    m_webViewController->loadURL();
}

std::shared_ptr<MRWebViewController> MRWebViewKit::getViewControllerWithUrl(std::string url, std::optional<std::string> webTitle,
    std::weak_ptr<MRWebViewKitDelegate> delegate)
{
    setValues(std::move(url), std::move(webTitle), std::move(delegate));
    if (m_webViewController)
        m_webViewController->setDelegate({});
    m_webViewController = std::make_shared<MRWebViewController>(m_requestUrl, m_webTitle, shared_from_this());
    m_webViewController->setEdgesForExtendedLayout(pf::RectEdge::All);
    return m_webViewController;
}

void MRWebViewKit::doClose() { close(true); }
void MRWebViewKit::doCloseWithNotAnimation() { close(false); }

void MRWebViewKit::close(bool animated)
{
    if (!m_window || m_isClosing)
        return;
    auto self = shared_from_this();
    m_isClosing = true;
    MrApiTool::MoveAllWindowIntoScreen(m_windowsArray, animated);
    m_windowsArray.clear();
    if (!animated) {
        m_window->setFrame(leftOfScreen());
        closeWindow();
        return;
    }
    std::weak_ptr<MRWebViewKit> weak = self;
    auto window = m_window;
    pf::Animation::beginAnimations("moveOutOfFrame");
    pf::Animation::setAnimationDuration(kCloseDuration);
    pf::Animation::setAnimationDidStop([weak, window](const std::string& name, bool finished) {
        auto kit = weak.lock();
        // Only the slide of the window still held ends it; a reopened kit has a new one.
        if (kit && name == "moveOutOfFrame" && finished && kit->m_window == window)
            kit->closeWindow();
    });
    m_window->setFrame(leftOfScreen());
    pf::Animation::commitAnimations();
}

void MRWebViewKit::closeWindow()
{
    if (!m_window)
        return;
    auto self = weak_from_this().lock(); // none while the kit is destroyed
    if (m_keywindow && m_keywindow->isShown())
        m_keywindow->makeKeyWindow();
    m_keywindow.reset();
    auto window = std::move(m_window);
    m_windowsArray.clear();
    auto controller = std::move(m_webViewController);
    // The page's view leaves the screen here, which reports the close.
    window->setRootViewController(nullptr);
    window->setHidden(true);
    if (controller)
        controller->setDelegate({});
    m_isClosing = false;
}

void MRWebViewKit::setBarButton(bool left, const std::optional<std::string>& title, const std::optional<std::string>& bindingJS)
{
    if (!m_webViewController)
        return;
    std::string text = title.value_or("");
    auto style = text == "完成" ? pf::BarButtonItemStyle::Done : pf::BarButtonItemStyle::Bordered;
    auto item = std::make_shared<pf::BarButtonItem>(text, style, std::weak_ptr<pf::Responder>(), "onClickBarButton:");
    std::weak_ptr<MRWebViewController> page = m_webViewController;
    std::string script = bindingJS.value_or("");
    item->setHandler([page, script] {
        auto controller = page.lock();
        if (controller && controller->webview() && !script.empty())
            controller->webview()->evaluate(script);
    });
    if (left)
        m_webViewController->navigationItem().setLeftBarButtonItem(item);
    else
        m_webViewController->navigationItem().setRightBarButtonItem(item);
}

void MRWebViewKit::setLeftNavigationBarButton(const std::optional<std::string>& title, const std::optional<std::string>& bindingJS)
{
    setBarButton(true, title, bindingJS);
}

void MRWebViewKit::setRightNavigationBarButton(const std::optional<std::string>& title, const std::optional<std::string>& bindingJS)
{
    setBarButton(false, title, bindingJS);
}

void MRWebViewKit::setNavigationTitle(const std::optional<std::string>& title)
{
    if (m_webViewController)
        m_webViewController->navigationItem().setTitle(title.value_or(""));
}

void MRWebViewKit::setNavigationBarHidden(const std::optional<std::string>& hidden, const std::optional<std::string>& animated)
{
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(boolValue(hidden), boolValue(animated));
}

void MRWebViewKit::onClickClose()
{
    auto self = shared_from_this();
    if (auto controller = m_webViewController)
        controller->doClose();
    doClose();
}

void MRWebViewKit::performSchemeCall(const pf::Url& url)
{
    std::string name = url.host();
    for (char& c : name) {
        if (c == '-')
            c = ':';
    }
    const SchemeCall* call = nullptr;
    for (const auto& known : kSchemeCalls) {
        if (name == known.name)
            call = &known;
    }
    if (!call)
        return;
    auto components = url.pathComponents();
    std::vector<std::optional<std::string>> args(call->arguments);
    for (size_t i = 0; i < call->arguments && i + 1 < components.size(); ++i)
        args[i] = components[i + 1];
    std::string which = call->name;
    if (which == "setNavigationTitle:")
        setNavigationTitle(args[0]);
    else if (which == "setLeftNavigationBarButton:bindingJS:")
        setLeftNavigationBarButton(args[0], args[1]);
    else if (which == "setRightNavigationBarButton:bindingJS:")
        setRightNavigationBarButton(args[0], args[1]);
    else if (which == "setNavigationBarHidden:animated:")
        setNavigationBarHidden(args[0], args[1]);
    else if (which == "doClose")
        doClose();
}

void MRWebViewKit::webViewControllerDidCloseWithLastError(MRWebViewController&, const std::optional<pf::UrlError>& lastError)
{
    auto self = shared_from_this();
    if (auto delegate = m_delegate.lock())
        delegate->webViewKitDidFinishedWithError(*this, lastError);
    doClose();
}

void MRWebViewKit::webViewControllerDidFailLoadWithError(MRWebViewController&, const pf::UrlError& error)
{
    auto self = shared_from_this();
    auto delegate = m_delegate.lock();
    if (!delegate)
        return;
    if (error.domain == pf::UrlError::kDomain && error.code == pf::UrlError::Cancelled)
        delegate->webViewKitDidLoadWithContentError(*this, error);
    else if (error.domain == pf::WebView::kErrorDomain && error.code == pf::WebView::FrameLoadInterrupted)
        return;
    else
        delegate->webViewKitDidLoadWithNetworkError(*this, error);
}

bool MRWebViewKit::webViewControllerShouldStartLoadWithRequest(MRWebViewController&, const pf::UrlRequest& request, pf::WebNavigationType type)
{
    auto self = shared_from_this();
    auto url = pf::Url::fromString(request.url());
    if (url && url->hasScheme(kSchemeName)) {
        performSchemeCall(*url);
        return false;
    }
    auto delegate = m_delegate.lock();
    return delegate ? delegate->webViewKitShouldStartLoadWithRequest(*this, request, type) : true;
}

bool MRWebViewKit::webViewControllerShouldAutorotateToInterfaceOrientation(MRWebViewController&, int orientation)
{
    auto delegate = m_delegate.lock();
    return delegate ? delegate->webViewKitShouldAutorotateToInterfaceOrientation(*this, orientation) : true;
}
