#include "shell/lock_keys.h"

#include <QGuiApplication>

#if defined(VAULTRA_HAVE_X11) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
// Last: the X headers define macros (None, Bool, Status) that Qt's headers would trip over.
#include <X11/XKBlib.h>
#endif

namespace vaultra::shell {

namespace {

#if defined(VAULTRA_HAVE_X11) && QT_CONFIG(xcb)
// The X server names its indicators; a keyboard without the named one leaves the lock unknown.
std::optional<bool> NamedIndicator(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) {
        return std::nullopt;
    }
    int index = 0;
    Bool on = False;
    Bool real = False;
    if (!XkbGetNamedIndicator(display, atom, &index, &on, nullptr, &real)) {
        return std::nullopt;
    }
    return on != False;
}

platform::LockIndicators ReadX11Indicators() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) {
        return {};
    }
    return {NamedIndicator(display, "Caps Lock"), NamedIndicator(display, "Num Lock"),
            NamedIndicator(display, "Scroll Lock")};
}
#else
platform::LockIndicators ReadX11Indicators() {
    return {};
}
#endif

}  // namespace

platform::LockIndicators ChooseLockIndicators(const platform::LockIndicators& x11,
                                              const platform::LockIndicators& leds) {
    return {x11.caps ? x11.caps : leds.caps, x11.num ? x11.num : leds.num,
            x11.scroll ? x11.scroll : leds.scroll};
}

platform::LockIndicators ReadLockKeys() {
    const platform::LockIndicators x11 = ReadX11Indicators();
    if (x11.caps && x11.num && x11.scroll) {
        return x11;
    }
    return ChooseLockIndicators(x11, platform::ReadLockLeds());
}

}  // namespace vaultra::shell
