#include "X11KeyInjector.h"

#include "KeyPlanner.h"
#include "keystrokes/Keysyms.h"

// Xlib defines macros (None, Bool, Status, KeyPress, ...) that clash with
// Qt's names, so it comes after every Qt header.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace tavlun::keystrokes {

namespace {

constexpr unsigned kAllRealMods = 0xFF;

// Xlib reports protocol errors through one process-wide handler. Errors on
// the injectors' own connections are counted here; errors on any other
// connection go to the handler that was installed before.
class ErrorTrap {
public:
    static void attach(Display *display)
    {
        if (counts().empty())
            previous() = XSetErrorHandler(&ErrorTrap::handle);
        counts()[display] = 0;
    }

    static void detach(Display *display)
    {
        counts().erase(display);
        if (counts().empty()) {
            XErrorHandler current = XSetErrorHandler(previous());
            if (current != &ErrorTrap::handle)
                XSetErrorHandler(current); // someone replaced ours; keep theirs
        }
    }

    static unsigned long count(Display *display) { return counts()[display]; }

private:
    static std::map<Display *, unsigned long> &counts()
    {
        static std::map<Display *, unsigned long> perDisplay;
        return perDisplay;
    }
    static XErrorHandler &previous()
    {
        static XErrorHandler handler = nullptr;
        return handler;
    }
    static int handle(Display *display, XErrorEvent *event)
    {
        auto it = counts().find(display);
        if (it != counts().end()) {
            ++it->second;
            return 0;
        }
        return previous() ? previous()(display, event) : 0;
    }
};

// A key's symbols as they were before a spare keycode was bound.
struct SavedKey {
    XkbSymMapRec map{};
    std::vector<KeySym> symbols;
};

// The keyboard map of the server as the planner sees it.
KeyboardMap readMap(XkbDescPtr xkb)
{
    KeyboardMap m;
    for (int t = 0; t < xkb->map->num_types; ++t) {
        const XkbKeyTypeRec &type = xkb->map->types[t];
        KeyboardMap::Type out;
        out.mods = type.mods.mask;
        for (int i = 0; i < type.map_count; ++i) {
            if (type.map[i].active)
                out.levels.emplace_back(type.map[i].mods.mask, type.map[i].level);
        }
        m.types.push_back(std::move(out));
    }
    m.groups = xkb->ctrls->num_groups;
    for (int kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
        KeyboardMap::Key key;
        const bool hasActions = XkbKeyHasActions(xkb, kc);
        for (int group = 0; group < XkbKeyNumGroups(xkb, kc); ++group) {
            KeyboardMap::Group g;
            g.type = xkb->map->key_sym_map[kc].kt_index[group];
            const XkbKeyTypePtr type = XkbKeyKeyType(xkb, kc, group);
            for (int level = 0; level < type->num_levels && level < XkbKeyGroupsWidth(xkb, kc); ++level) {
                g.levels.push_back({XkbKeySymEntry(xkb, kc, level, group),
                                    hasActions && XkbKeyActionEntry(xkb, kc, level, group)->type != XkbSA_NoAction});
            }
            key.groups.push_back(std::move(g));
        }
        const unsigned info = XkbKeyGroupInfo(xkb, kc);
        if (XkbOutOfRangeGroupAction(info) == XkbRedirectIntoRange) {
            key.range = KeyboardMap::GroupRange::Redirect;
            key.redirectGroup = XkbOutOfRangeGroupNumber(info);
        } else if (XkbOutOfRangeGroupAction(info) == XkbClampIntoRange) {
            key.range = KeyboardMap::GroupRange::Clamp;
        }
        // A keycode that would set a modifier or behave specially is not
        // spare even without symbols.
        key.plain = (!xkb->map->modmap || xkb->map->modmap[kc] == 0)
            && (!xkb->server->vmodmap || xkb->server->vmodmap[kc] == 0)
            && (!xkb->server->behaviors || xkb->server->behaviors[kc].type == XkbKB_Default);
        m.keys.emplace(kc, std::move(key));
    }
    return m;
}

// True when every part of the map that the notification names lies within
// keycodes first to last, which were just read back.
bool isReadBack(const XkbMapNotifyEvent &event, int first, int last)
{
    if (event.changed & (XkbKeyTypesMask | XkbVirtualModsMask))
        return false;
    const std::tuple<unsigned, int, int> ranges[] = {
        {XkbKeySymsMask, event.first_key_sym, event.num_key_syms},
        {XkbKeyActionsMask, event.first_key_act, event.num_key_acts},
        {XkbKeyBehaviorsMask, event.first_key_behavior, event.num_key_behaviors},
        {XkbExplicitComponentsMask, event.first_key_explicit, event.num_key_explicit},
        {XkbModifierMapMask, event.first_modmap_key, event.num_modmap_keys},
        {XkbVirtualModMapMask, event.first_vmodmap_key, event.num_vmodmap_keys},
    };
    for (const auto &[part, start, count] : ranges) {
        if ((event.changed & part) && count > 0 && (start < first || start + count - 1 > last))
            return false;
    }
    return true;
}

} // namespace

struct X11KeyInjector::Private {
    Display *display = nullptr;
    int xkbEventBase = 0;
    XkbDescPtr xkb = nullptr;
    KeyPlanner planner;
    std::map<int, SavedKey> originals; // of the keycodes that hold bindings
    // A change seen in notifications and not yet read.
    bool reloadPending = false;

    ~Private()
    {
        if (!display)
            return;
        if (xkb) {
            handleEvents();
            restoreBindings();
            XkbFreeKeyboard(xkb, XkbAllComponentsMask, True);
        }
        XCloseDisplay(display);
        ErrorTrap::detach(display);
    }

    bool loadKeymap();
    bool readKeySyms(int first, int last);
    void refreshPlanner();
    void handleEvents();
    void collectEvents(int readFirst = 1, int readLast = 0);
    bool bindSpare(KeySym symbol);
    bool writeKey(KeyCode keycode, const XkbSymMapRec &map, const std::vector<KeySym> &symbols);
    void restoreBindings();
    void press(const KeyPlan &plan, const XkbStateRec &state);
};

bool X11KeyInjector::Private::loadKeymap()
{
    if (xkb)
        XkbFreeKeyboard(xkb, XkbAllComponentsMask, True);
    xkb = XkbGetMap(display,
                    XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask | XkbKeyBehaviorsMask
                        | XkbModifierMapMask | XkbVirtualModMapMask,
                    XkbUseCoreKbd);
    if (!xkb)
        return false;
    if (!xkb->map || !xkb->map->types || !xkb->map->key_sym_map || !xkb->server
        || !xkb->server->key_acts || XkbGetControls(display, XkbAllControlsMask, xkb) != Success) {
        XkbFreeKeyboard(xkb, XkbAllComponentsMask, True);
        xkb = nullptr;
        return false;
    }
    reloadPending = false;
    refreshPlanner();
    return true;
}

// Reads the symbols of keycodes first to last again. (XkbGetKeySyms asks
// for no part of the map in its request, so it is not used.)
bool X11KeyInjector::Private::readKeySyms(int first, int last)
{
    XkbMapChangesRec parts{};
    parts.changed = XkbKeySymsMask;
    parts.first_key_sym = static_cast<KeyCode>(first);
    parts.num_key_syms = static_cast<unsigned char>(last - first + 1);
    return XkbGetMapChanges(display, xkb, &parts) == Success;
}

// Hands the map to the planner, which keeps only the bindings that the map
// still shows: a key that someone else has changed since (a new layout, for
// instance) is no longer ours to restore.
void X11KeyInjector::Private::refreshPlanner()
{
    planner.setMap(readMap(xkb));
    std::erase_if(originals, [this](const auto &entry) {
        const auto &bindings = planner.bindings();
        return std::none_of(bindings.begin(), bindings.end(),
                            [&](const KeyPlanner::Binding &b) { return b.keycode == entry.first; });
    });
}

// Reads what the server says about the keyboard mapping since the last
// call, without blocking, and brings the map up to date: a new keyboard or
// a change by another client reads the map again.
void X11KeyInjector::Private::handleEvents()
{
    collectEvents();
    if (reloadPending || !xkb)
        loadKeymap();
}

// Takes the notifications that have arrived. The server sends several for
// each change (one for the core keyboard, more for the devices attached to
// it); only the core keyboard's count. Changes within readFirst to
// readLast are already known: those keys were read back after the
// notifications were queued.
void X11KeyInjector::Private::collectEvents(int readFirst, int readLast)
{
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != xkbEventBase)
            continue;
        const auto &xkbEvent = reinterpret_cast<const XkbEvent &>(event);
        if (xkb && xkbEvent.any.device != xkb->device_spec)
            continue;
        if (xkbEvent.any.xkb_type == XkbNewKeyboardNotify
            || (xkbEvent.any.xkb_type == XkbMapNotify && !isReadBack(xkbEvent.map, readFirst, readLast)))
            reloadPending = true;
    }
}

// Writes one key's symbols to the server and reads them back, so the key
// is not pressed before the server has applied them.
bool X11KeyInjector::Private::writeKey(KeyCode keycode, const XkbSymMapRec &map,
                                       const std::vector<KeySym> &symbols)
{
    KeySym *room = XkbResizeKeySyms(xkb, keycode, static_cast<int>(symbols.size()));
    if (!room && !symbols.empty())
        return false;
    std::copy(symbols.begin(), symbols.end(), room);
    XkbSymMapRec &target = xkb->map->key_sym_map[keycode];
    std::copy(std::begin(map.kt_index), std::end(map.kt_index), std::begin(target.kt_index));
    target.group_info = map.group_info;
    target.width = map.width;

    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = keycode;
    changes.num_key_syms = 1;

    XkbChangeMap(display, xkb, &changes);
    // Read back what the server holds now, whatever happened: a change that
    // was not sent or that the server refused shows as the old symbols.
    const bool read = readKeySyms(keycode, keycode);
    collectEvents(keycode, keycode);
    if (!read || XkbKeyNumSyms(xkb, keycode) != static_cast<int>(symbols.size())
        || XkbKeyNumGroups(xkb, keycode) != XkbNumGroups(map.group_info))
        return false;
    return std::equal(symbols.begin(), symbols.end(), XkbKeySymsPtr(xkb, keycode));
}

// Binds a keysym that no key makes to the spare keycode the planner picks.
bool X11KeyInjector::Private::bindSpare(KeySym symbol)
{
    const std::optional<int> spare = planner.spareFor();
    if (!spare)
        return false;
    const auto keycode = static_cast<KeyCode>(*spare);
    if (!originals.contains(keycode)) {
        SavedKey original;
        original.map = xkb->map->key_sym_map[keycode];
        const KeySym *syms = XkbKeySymsPtr(xkb, keycode);
        original.symbols.assign(syms, syms + XkbKeyNumSyms(xkb, keycode));
        originals[keycode] = std::move(original);
    }
    XkbSymMapRec map{};
    map.kt_index[0] = XkbOneLevelIndex;
    map.group_info = static_cast<unsigned char>(XkbSetGroupInfo(1, XkbWrapIntoRange, 0));
    map.width = 1;
    const bool bound = writeKey(keycode, map, {symbol});
    if (bound)
        planner.bound(keycode, symbol);
    // Keep the key only if it holds what we bound; what else it holds is
    // not ours to restore. Nor is it tried again until the map is read anew.
    refreshPlanner();
    if (!bound)
        planner.bindFailed(keycode);
    return bound;
}

void X11KeyInjector::Private::restoreBindings()
{
    if (!xkb)
        return;
    for (const KeyPlanner::Binding &binding : planner.bindings()) {
        const SavedKey &original = originals[binding.keycode];
        writeKey(static_cast<KeyCode>(binding.keycode), original.map, original.symbols);
    }
}

// Sends the whole sequence (set the locks, key down, key up, put the
// user's state back) in one write, so the server gets all of it or none,
// and no modifier is ever left changed.
void X11KeyInjector::Private::press(const KeyPlan &plan, const XkbStateRec &state)
{
    XFlush(display);
    const bool latchedMods = state.latched_mods != 0;
    const bool latchedGroup = state.latched_group != 0;
    const bool lockMods = plan.lockedMods != state.locked_mods;
    const bool lockGroup = plan.lockedGroup != state.locked_group;

    // The server adds a group latch to the one in force (latching 0 changes
    // nothing), so the user's latch is lifted by latching its opposite. Any
    // change of the latched modifiers drops a latched group: the group goes
    // first here and last when they are put back.
    if (latchedGroup)
        XkbLatchGroup(display, XkbUseCoreKbd, -static_cast<unsigned>(state.latched_group));
    if (latchedMods)
        XkbLatchModifiers(display, XkbUseCoreKbd, state.latched_mods, 0);
    if (lockMods)
        XkbLockModifiers(display, XkbUseCoreKbd, kAllRealMods, plan.lockedMods);
    if (lockGroup)
        XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned>(plan.lockedGroup));

    const auto keycode = static_cast<unsigned>(plan.keycode);
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);

    if (lockGroup)
        XkbLockGroup(display, XkbUseCoreKbd, state.locked_group);
    if (lockMods)
        XkbLockModifiers(display, XkbUseCoreKbd, kAllRealMods, state.locked_mods);
    if (latchedMods)
        XkbLatchModifiers(display, XkbUseCoreKbd, state.latched_mods, state.latched_mods);
    if (latchedGroup)
        XkbLatchGroup(display, XkbUseCoreKbd, state.latched_group);
    // Errors of this key are counted before sendKeys returns.
    XSync(display, False);
}

X11KeyInjector::X11KeyInjector(std::unique_ptr<Private> p) : d(std::move(p)) {}

X11KeyInjector::~X11KeyInjector() = default;

std::unique_ptr<X11KeyInjector> X11KeyInjector::open(const QByteArray &displayName,
                                                     QString *failureReason)
{
    const auto fail = [failureReason](const QString &reason) {
        if (failureReason)
            *failureReason = reason;
        return nullptr;
    };

    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int eventBase; // written when the display opens
    int status = XkbOD_Success;
    const QByteArray name = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
    // XKB's error codes are not needed: errors come through the trap.
    Display *display = XkbOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData(),
                                      &eventBase, nullptr, &major, &minor, &status);
    if (!display) {
        switch (status) {
        case XkbOD_NonXkbServer:
        case XkbOD_BadServerVersion:
            return fail(QStringLiteral("the X server has no usable XKB extension"));
        case XkbOD_BadLibraryVersion:
            return fail(QStringLiteral("the X keyboard library is too old"));
        default:
            return fail(QStringLiteral("cannot open X display \"") + QString::fromLocal8Bit(name) + u'"');
        }
    }
    int testEvents, testErrors, testMajor, testMinor; // written by the query, not needed
    if (!XTestQueryExtension(display, &testEvents, &testErrors, &testMajor, &testMinor)) {
        XCloseDisplay(display);
        return fail(QStringLiteral("the X server has no XTest extension"));
    }

    auto d = std::make_unique<Private>();
    d->display = display;
    d->xkbEventBase = eventBase;
    ErrorTrap::attach(display);
    XkbSelectEvents(display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    if (!d->loadKeymap())
        return fail(QStringLiteral("cannot read the X keyboard map"));
    return std::unique_ptr<X11KeyInjector>(new X11KeyInjector(std::move(d)));
}

bool X11KeyInjector::type(core::Key key)
{
    const KeySym symbol = keysymFor(key);
    if (symbol == NoSymbol)
        return false;

    d->handleEvents();
    const unsigned long errorsBefore = ErrorTrap::count(d->display);
    XkbStateRec state{};
    if (!d->xkb || XkbGetState(d->display, XkbUseCoreKbd, &state) != Success)
        return false;
    const KeyboardState held{state.base_mods, state.locked_mods, state.latched_mods,
                             static_cast<short>(state.base_group), state.locked_group,
                             state.latched_group};

    std::optional<KeyPlan> plan = d->planner.plan(symbol, held);
    if (!plan && d->bindSpare(symbol))
        plan = d->planner.plan(symbol, held);
    if (!plan)
        return false;
    d->planner.used(plan->keycode);
    d->press(*plan, state);
    return ErrorTrap::count(d->display) == errorsBefore;
}

} // namespace tavlun::keystrokes
