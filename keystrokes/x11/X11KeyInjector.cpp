#include "X11KeyInjector.h"

#include "KeyPlanner.h"
#include "keystrokes/FailureReason.h"
#include "keystrokes/Keysyms.h"
#include "keystrokes/Owned.h"

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
class XErrorCounter {
public:
    static void attach(Display *display)
    {
        if (counts().empty())
            previous() = XSetErrorHandler(&XErrorCounter::handle);
        counts()[display] = 0;
    }

    static void detach(Display *display)
    {
        counts().erase(display);
        if (counts().empty()) {
            XErrorHandler current = XSetErrorHandler(previous());
            if (current != &XErrorCounter::handle)
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

void freeKeyboardMap(XkbDescPtr map)
{
    XkbFreeKeyboard(map, XkbAllComponentsMask, True);
}

// A key's symbols as they were before a spare keycode was bound.
struct KeyBeforeBinding {
    XkbSymMapRec map{};
    std::vector<KeySym> symbols;
};

// The server's keyboard map as the planner sees it.
KeyboardMap plannerMapOf(XkbDescPtr xkb)
{
    KeyboardMap map;
    for (int index = 0; index < xkb->map->num_types; ++index) {
        const XkbKeyTypeRec &type = xkb->map->types[index];
        KeyboardMap::Type levels;
        levels.mods = type.mods.mask;
        for (int entry = 0; entry < type.map_count; ++entry) {
            if (type.map[entry].active)
                levels.levels.emplace_back(type.map[entry].mods.mask, type.map[entry].level);
        }
        map.types.push_back(std::move(levels));
    }
    map.groups = xkb->ctrls->num_groups;
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
        KeyboardMap::Key key;
        const bool hasActions = XkbKeyHasActions(xkb, keycode);
        for (int group = 0; group < XkbKeyNumGroups(xkb, keycode); ++group) {
            KeyboardMap::Group symbols;
            symbols.type = xkb->map->key_sym_map[keycode].kt_index[group];
            const XkbKeyTypePtr type = XkbKeyKeyType(xkb, keycode, group);
            for (int level = 0; level < type->num_levels && level < XkbKeyGroupsWidth(xkb, keycode); ++level) {
                symbols.levels.push_back(
                    {XkbKeySymEntry(xkb, keycode, level, group),
                     hasActions && XkbKeyActionEntry(xkb, keycode, level, group)->type != XkbSA_NoAction});
            }
            key.groups.push_back(std::move(symbols));
        }
        const unsigned info = XkbKeyGroupInfo(xkb, keycode);
        if (XkbOutOfRangeGroupAction(info) == XkbRedirectIntoRange) {
            key.range = KeyboardMap::GroupRange::Redirect;
            key.redirectGroup = XkbOutOfRangeGroupNumber(info);
        } else if (XkbOutOfRangeGroupAction(info) == XkbClampIntoRange) {
            key.range = KeyboardMap::GroupRange::Clamp;
        }
        // A keycode that would set a modifier or behave specially is not
        // spare even without symbols.
        key.plain = (!xkb->map->modmap || xkb->map->modmap[keycode] == 0)
            && (!xkb->server->vmodmap || xkb->server->vmodmap[keycode] == 0)
            && (!xkb->server->behaviors || xkb->server->behaviors[keycode].type == XkbKB_Default);
        map.keys.emplace(keycode, std::move(key));
    }
    return map;
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

class X11KeyInjector final : public KeyInjector {
public:
    X11KeyInjector(Display *display, int xkbEventBase);
    ~X11KeyInjector() override;

    // Brings the keyboard map up to date, reading it when a change is
    // pending (or it has not been read yet). False when it cannot be read.
    bool catchUpWithMapChanges();

    bool type(core::Key key) override;

private:
    void readKeyboardMap();
    bool readKeySymbols(int first, int last);
    void updatePlanner();
    void takeNotifications(int readFirst = 1, int readLast = 0);
    void bindToSpareKeycode(KeySym symbol);
    bool writeKey(KeyCode keycode, const XkbSymMapRec &map, const std::vector<KeySym> &symbols);
    void undoBindings();
    void press(const KeyPlan &plan, const XkbStateRec &state);

    Display *display_;
    int xkbEventBase_;
    Owned<XkbDescRec, freeKeyboardMap> serverMap_; // null when it could not be read
    KeyPlanner planner_;
    std::map<int, KeyBeforeBinding> keysBeforeBinding_; // of the keycodes that hold bindings
    // A change seen in notifications and not yet read, or a map that has
    // not been read.
    bool rereadPending_ = true;
};

X11KeyInjector::X11KeyInjector(Display *display, int xkbEventBase)
    : display_(display), xkbEventBase_(xkbEventBase)
{
    XErrorCounter::attach(display_);
    XkbSelectEvents(display_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
}

X11KeyInjector::~X11KeyInjector()
{
    // A binding that another client has changed since the last key is no
    // longer ours to undo.
    if (catchUpWithMapChanges())
        undoBindings();
    XCloseDisplay(display_);
    XErrorCounter::detach(display_);
}

void X11KeyInjector::readKeyboardMap()
{
    serverMap_.reset(XkbGetMap(display_,
                               XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask | XkbKeyBehaviorsMask
                                   | XkbModifierMapMask | XkbVirtualModMapMask,
                               XkbUseCoreKbd));
    const XkbDescPtr map = serverMap_.get();
    if (!map || !map->map || !map->map->types || !map->map->key_sym_map || !map->server || !map->server->key_acts
        || XkbGetControls(display_, XkbAllControlsMask, map) != Success) {
        serverMap_.reset();
        return;
    }
    rereadPending_ = false;
    updatePlanner();
}

// Reads the symbols of keycodes first to last again. (XkbGetKeySyms asks
// for no part of the map in its request, so it is not used.)
bool X11KeyInjector::readKeySymbols(int first, int last)
{
    XkbMapChangesRec parts{};
    parts.changed = XkbKeySymsMask;
    parts.first_key_sym = static_cast<KeyCode>(first);
    parts.num_key_syms = static_cast<unsigned char>(last - first + 1);
    return XkbGetMapChanges(display_, serverMap_.get(), &parts) == Success;
}

// Hands the map to the planner, which keeps only the bindings that the map
// still shows: a key that someone else has changed since (a new layout, for
// instance) is no longer ours to restore.
void X11KeyInjector::updatePlanner()
{
    planner_.setMap(plannerMapOf(serverMap_.get()));
    std::erase_if(keysBeforeBinding_, [this](const auto &entry) {
        const auto &bindings = planner_.bindings();
        return std::none_of(bindings.begin(), bindings.end(),
                            [&](const KeyPlanner::Binding &binding) { return binding.keycode == entry.first; });
    });
}

// Reads what the server says about the keyboard mapping since the last
// call, without blocking: a new keyboard or a change by another client reads
// the map again (as does a map that could not be read last time).
bool X11KeyInjector::catchUpWithMapChanges()
{
    takeNotifications();
    if (rereadPending_)
        readKeyboardMap();
    return serverMap_ != nullptr;
}

// Takes the notifications that have arrived. The server sends several for
// each change (one for the core keyboard, more for the devices attached to
// it); only the core keyboard's count. Changes within readFirst to
// readLast are already known: those keys were read back after the
// notifications were queued.
void X11KeyInjector::takeNotifications(int readFirst, int readLast)
{
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != xkbEventBase_)
            continue;
        const auto &xkbEvent = reinterpret_cast<const XkbEvent &>(event);
        if (serverMap_ && xkbEvent.any.device != serverMap_->device_spec)
            continue;
        if (xkbEvent.any.xkb_type == XkbNewKeyboardNotify
            || (xkbEvent.any.xkb_type == XkbMapNotify && !isReadBack(xkbEvent.map, readFirst, readLast)))
            rereadPending_ = true;
    }
}

// Writes one key's symbols to the server and reads them back, so the key
// is not pressed before the server has applied them.
bool X11KeyInjector::writeKey(KeyCode keycode, const XkbSymMapRec &map, const std::vector<KeySym> &symbols)
{
    KeySym *room = XkbResizeKeySyms(serverMap_.get(), keycode, static_cast<int>(symbols.size()));
    if (!room && !symbols.empty())
        return false;
    std::copy(symbols.begin(), symbols.end(), room);
    XkbSymMapRec &target = serverMap_->map->key_sym_map[keycode];
    std::copy(std::begin(map.kt_index), std::end(map.kt_index), std::begin(target.kt_index));
    target.group_info = map.group_info;
    target.width = map.width;

    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = keycode;
    changes.num_key_syms = 1;

    XkbChangeMap(display_, serverMap_.get(), &changes);
    // Read back what the server holds now, whatever happened: a change that
    // was not sent or that the server refused shows as the old symbols.
    const bool read = readKeySymbols(keycode, keycode);
    takeNotifications(keycode, keycode);
    if (!read || XkbKeyNumSyms(serverMap_.get(), keycode) != static_cast<int>(symbols.size())
        || XkbKeyNumGroups(serverMap_.get(), keycode) != XkbNumGroups(map.group_info))
        return false;
    return std::equal(symbols.begin(), symbols.end(), XkbKeySymsPtr(serverMap_.get(), keycode));
}

// Binds a keysym that no key makes to the spare keycode the planner picks,
// if it has one; the planner then knows the binding.
void X11KeyInjector::bindToSpareKeycode(KeySym symbol)
{
    const std::optional<int> spare = planner_.keycodeToBind();
    if (!spare)
        return;
    const auto keycode = static_cast<KeyCode>(*spare);
    if (!keysBeforeBinding_.contains(keycode)) {
        KeyBeforeBinding before;
        before.map = serverMap_->map->key_sym_map[keycode];
        const KeySym *symbols = XkbKeySymsPtr(serverMap_.get(), keycode);
        before.symbols.assign(symbols, symbols + XkbKeyNumSyms(serverMap_.get(), keycode));
        keysBeforeBinding_[keycode] = std::move(before);
    }
    XkbSymMapRec map{};
    map.kt_index[0] = XkbOneLevelIndex;
    map.group_info = static_cast<unsigned char>(XkbSetGroupInfo(1, XkbWrapIntoRange, 0));
    map.width = 1;
    const bool bound = writeKey(keycode, map, {symbol});
    if (bound)
        planner_.recordBinding(keycode, symbol);
    // Keep the key only if it holds what we bound; what else it holds is
    // not ours to restore. Nor is it tried again until the map is read anew.
    updatePlanner();
    if (!bound)
        planner_.recordFailedBinding(keycode);
}

void X11KeyInjector::undoBindings()
{
    for (const KeyPlanner::Binding &binding : planner_.bindings()) {
        const KeyBeforeBinding &before = keysBeforeBinding_[binding.keycode];
        writeKey(static_cast<KeyCode>(binding.keycode), before.map, before.symbols);
    }
}

// Sends the whole sequence (set the locks, key down, key up, put the
// user's state back) in one write, so the server gets all of it or none,
// and no modifier is ever left changed.
void X11KeyInjector::press(const KeyPlan &plan, const XkbStateRec &state)
{
    XFlush(display_);
    const bool latchedMods = state.latched_mods != 0;
    const bool latchedGroup = state.latched_group != 0;
    const bool lockMods = plan.lockedMods != state.locked_mods;
    const bool lockGroup = plan.lockedGroup != state.locked_group;

    // The server adds a group latch to the one in force (latching 0 changes
    // nothing), so the user's latch is lifted by latching its opposite. Any
    // change of the latched modifiers drops a latched group: the group goes
    // first here and last when they are put back.
    if (latchedGroup)
        XkbLatchGroup(display_, XkbUseCoreKbd, -static_cast<unsigned>(state.latched_group));
    if (latchedMods)
        XkbLatchModifiers(display_, XkbUseCoreKbd, state.latched_mods, 0);
    if (lockMods)
        XkbLockModifiers(display_, XkbUseCoreKbd, kAllRealMods, plan.lockedMods);
    if (lockGroup)
        XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(plan.lockedGroup));

    const auto keycode = static_cast<unsigned>(plan.keycode);
    XTestFakeKeyEvent(display_, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display_, keycode, False, CurrentTime);

    if (lockGroup)
        XkbLockGroup(display_, XkbUseCoreKbd, state.locked_group);
    if (lockMods)
        XkbLockModifiers(display_, XkbUseCoreKbd, kAllRealMods, state.locked_mods);
    if (latchedMods)
        XkbLatchModifiers(display_, XkbUseCoreKbd, state.latched_mods, state.latched_mods);
    if (latchedGroup)
        XkbLatchGroup(display_, XkbUseCoreKbd, state.latched_group);
    // Errors of this key are counted before type() returns.
    XSync(display_, False);
}

bool X11KeyInjector::type(core::Key key)
{
    const KeySym symbol = keysymFor(key);
    if (symbol == NoSymbol)
        return false;

    if (!catchUpWithMapChanges())
        return false;
    const unsigned long errorsBefore = XErrorCounter::count(display_);
    XkbStateRec state{};
    if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success)
        return false;
    const KeyboardState held{state.base_mods, state.locked_mods, state.latched_mods,
                             static_cast<short>(state.base_group), state.locked_group,
                             state.latched_group};

    std::optional<KeyPlan> plan = planner_.plan(symbol, held);
    if (!plan) {
        bindToSpareKeycode(symbol);
        plan = planner_.plan(symbol, held);
    }
    if (!plan)
        return false;
    planner_.recordPress(plan->keycode);
    press(*plan, state);
    return XErrorCounter::count(display_) == errorsBefore;
}

} // namespace

std::unique_ptr<KeyInjector> openX11KeyInjector(const QByteArray &displayName, QString *failureReason)
{
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int eventBase; // written when the display opens
    int status = XkbOD_Success;
    const QByteArray name = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
    // XKB's error codes are not needed: errors come through the counter.
    Display *display = XkbOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData(),
                                      &eventBase, nullptr, &major, &minor, &status);
    if (!display) {
        switch (status) {
        case XkbOD_NonXkbServer:
        case XkbOD_BadServerVersion:
            return failWith(failureReason, QStringLiteral("the X server has no usable XKB extension"));
        case XkbOD_BadLibraryVersion:
            return failWith(failureReason, QStringLiteral("the X keyboard library is too old"));
        default:
            return failWith(failureReason,
                            QStringLiteral("cannot open X display \"") + QString::fromLocal8Bit(name) + u'"');
        }
    }
    int testEvents, testErrors, testMajor, testMinor; // written by the query, not needed
    if (!XTestQueryExtension(display, &testEvents, &testErrors, &testMajor, &testMinor)) {
        XCloseDisplay(display);
        return failWith(failureReason, QStringLiteral("the X server has no XTest extension"));
    }
    auto injector = std::make_unique<X11KeyInjector>(display, eventBase);
    if (!injector->catchUpWithMapChanges())
        return failWith(failureReason, QStringLiteral("cannot read the X keyboard map"));
    return injector;
}

} // namespace tavlun::keystrokes
