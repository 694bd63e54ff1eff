#include "shell/lock_keys.h"

#include <QGuiApplication>

#if defined(VAULTRA_HAVE_X11) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
// Last: the X headers define macros (None, Bool, Status) that Qt's headers would trip over.
#include <X11/XKBlib.h>
#include <X11/keysym.h>
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

// Caps and num lock are locked modifiers of the core keyboard (num lock's modifier is whichever the
// Num_Lock key sets); a server without a keyboard LED never lights their indicators. Scroll lock has no
// modifier: its indicator tells.
platform::LockIndicators ReadX11Indicators() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    XkbStateRec keyboard{};
    if (display == nullptr || XkbGetState(display, XkbUseCoreKbd, &keyboard) != Success) {
        return {};
    }
    const unsigned numMask = XkbKeysymToModifiers(display, XK_Num_Lock);
    return {(keyboard.locked_mods & LockMask) != 0,
            numMask != 0 ? std::optional<bool>((keyboard.locked_mods & numMask) != 0)
                         : NamedIndicator(display, "Num Lock"),
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
