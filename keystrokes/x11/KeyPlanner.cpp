#include "KeyPlanner.h"

#include <algorithm>
#include <bit>
#include <tuple>

namespace tavlun::keystrokes {

namespace {

// Modifier bits of the core protocol.
constexpr unsigned kLockMask = 1u << 1;
constexpr unsigned kControlMask = 1u << 2;

// The group that `group` stands for among `groups`, counted round.
int wrapGroup(int group, int groups)
{
    return (group % groups + groups) % groups;
}

// The level of a key type that a set of modifiers selects.
int levelFor(const KeyboardMap::Type &type, unsigned mods)
{
    const unsigned relevant = mods & type.mods;
    for (const auto &[entryMods, level] : type.levels) {
        if (entryMods == relevant)
            return level;
    }
    return 0;
}

// The group of a key that the keyboard's effective group selects.
int keyGroup(const KeyboardMap::Key &key, int effectiveGroup)
{
    const int groups = static_cast<int>(key.groups.size());
    if (groups <= 1)
        return 0;
    if (effectiveGroup < groups)
        return effectiveGroup;
    switch (key.range) {
    case KeyboardMap::GroupRange::Redirect:
        return key.redirectGroup < groups ? key.redirectGroup : 0;
    case KeyboardMap::GroupRange::Clamp:
        return groups - 1;
    case KeyboardMap::GroupRange::Wrap:
        break;
    }
    return effectiveGroup % groups;
}

} // namespace

void KeyPlanner::setMap(KeyboardMap map)
{
    map_ = std::move(map);
    std::erase_if(bindings_, [this](const Binding &binding) {
        const auto key = map_.keys.find(binding.keycode);
        return key == map_.keys.end() || key->second.groups.size() != 1
            || key->second.groups[0].type != 0 || key->second.groups[0].levels.size() != 1
            || key->second.groups[0].levels[0].symbol != binding.symbol;
    });
    positions_.clear();
    spare_.clear();
    for (const auto &[keycode, key] : map_.keys) {
        bool symbols = false;
        bool acts = false;
        for (int group = 0; group < static_cast<int>(key.groups.size()); ++group) {
            const auto &levels = key.groups[group].levels;
            for (int level = 0; level < static_cast<int>(levels.size()); ++level) {
                acts = acts || levels[level].acts;
                if (levels[level].symbol == 0)
                    continue;
                symbols = true;
                // A key that also sets modifiers or switches groups would
                // change the state it is typed with.
                if (!levels[level].acts)
                    positions_[levels[level].symbol].push_back({keycode, group, level});
            }
        }
        if (!symbols && !acts && key.plain && !isBinding(keycode))
            spare_.push_back(keycode);
    }
}

bool KeyPlanner::isBinding(int keycode) const
{
    return std::any_of(bindings_.begin(), bindings_.end(),
                       [keycode](const Binding &b) { return b.keycode == keycode; });
}

std::optional<KeyPlan> KeyPlanner::plan(unsigned long symbol, const KeyboardState &state) const
{
    const auto found = positions_.find(symbol);
    if (found == positions_.end())
        return std::nullopt;

    const int groups = std::max(1, map_.groups);
    // The group in force once the user's group latch is lifted.
    const int unlatchedGroup = wrapGroup(state.baseGroup + state.lockedGroup, groups);

    std::optional<KeyPlan> best;
    std::tuple<int, int, bool, int> bestRank{};
    for (const Position &position : found->second) {
        const KeyboardMap::Key &key = map_.keys.at(position.keycode);
        const KeyboardMap::Type &type = map_.types.at(key.groups[position.group].type);

        std::vector<unsigned> wanted{0};
        for (const auto &[mods, level] : type.levels) {
            if (level == position.level)
                wanted.push_back(mods);
        }
        for (const unsigned mods : wanted) {
            if (state.heldMods & type.mods & ~mods)
                continue; // a held modifier would pick another level
            const unsigned added = mods & type.mods & ~state.heldMods;
            if (levelFor(type, state.heldMods | added) != position.level)
                continue;
            KeyPlan plan;
            plan.keycode = position.keycode;
            // Caps Lock and Control locks would change the text when the
            // level does not use them; other locks (Num Lock) stay.
            plan.lockedMods = (state.lockedMods & ~(type.mods | kLockMask | kControlMask)) | added;
            // Lock the group only when the key would not come out in it
            // as things stand.
            plan.lockedGroup = keyGroup(key, unlatchedGroup) == position.group
                ? state.lockedGroup
                : wrapGroup(position.group - state.baseGroup, groups);
            // The user's latches are lifted for any key alike: they do not
            // tell plans apart.
            const int changes = int{plan.lockedMods != state.lockedMods}
                + int{plan.lockedGroup != state.lockedGroup};
            const std::tuple<int, int, bool, int> rank{changes, std::popcount(added),
                                                       isBinding(position.keycode), position.keycode};
            if (!best || rank < bestRank) {
                best = plan;
                bestRank = rank;
            }
        }
    }
    return best;
}

std::optional<int> KeyPlanner::keycodeToBind() const
{
    if (static_cast<int>(bindings_.size()) < kSparePoolSize && !spare_.empty())
        return spare_.back();
    if (bindings_.empty())
        return std::nullopt;
    return std::min_element(bindings_.begin(), bindings_.end(),
                            [](const Binding &a, const Binding &b) { return a.lastUse < b.lastUse; })
        ->keycode;
}

void KeyPlanner::recordBinding(int keycode, unsigned long symbol)
{
    std::erase(spare_, keycode);
    std::erase_if(bindings_, [keycode](const Binding &b) { return b.keycode == keycode; });
    bindings_.push_back({keycode, symbol, ++uses_});
}

void KeyPlanner::recordFailedBinding(int keycode)
{
    std::erase(spare_, keycode);
}

void KeyPlanner::recordPress(int keycode)
{
    for (Binding &binding : bindings_) {
        if (binding.keycode == keycode)
            binding.lastUse = ++uses_;
    }
}

} // namespace tavlun::keystrokes
