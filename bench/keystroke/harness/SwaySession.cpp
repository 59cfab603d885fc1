#include "SwaySession.h"

#include <QByteArray>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>

namespace tavlun::test {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

milliseconds remaining(Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
    return left.count() > 0 ? left : milliseconds(0);
}

long long nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Polls for a condition on the file system until the deadline; the
// compositor announces nothing on a descriptor of ours.
template<typename Condition>
bool waitUntil(Condition condition, milliseconds deadline)
{
    const auto end = Clock::now() + deadline;
    while (!condition()) {
        if (Clock::now() >= end)
            return false;
        timespec pause{0, 5000000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

} // namespace

SwaySession::SwaySession(const Options &options)
{
    char pattern[] = "/tmp/tavlun-sway-XXXXXX";
    if (!mkdtemp(pattern)) {
        error_ = "mkdtemp failed";
        return;
    }
    dir_ = pattern;
    runtimeDir_ = dir_ + "/run";
    mkdir(runtimeDir_.c_str(), 0700);
    chmod(dir_.c_str(), 0755);
    if (geteuid() == 0) {
        const passwd *nobody = getpwnam("nobody");
        if (!nobody) {
            error_ = "no user nobody to run sway as";
            return;
        }
        if (chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0
            || chown(runtimeDir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            error_ = "cannot hand the runtime directory to nobody";
            return;
        }
    }
    {
        std::ofstream config(dir_ + "/config");
        config << "xwayland " << (options.xwayland ? "enable" : "disable") << "\n"
               << "input * xkb_layout " << options.layout << "\n";
        // Commands run once the compositor is up: the harness waits for the
        // file this script writes, which also names XWayland's display.
        config << "exec sh " << dir_ << "/ready.sh\n";
        std::ofstream script(dir_ + "/ready.sh");
        script << "printenv DISPLAY > " << dir_ << "/ready.tmp\nmv " << dir_ << "/ready.tmp " << dir_
               << "/ready\n";
    }
    chmod((dir_ + "/config").c_str(), 0644);

    sway_ = ChildProcess::start(asCompositorUser({"sway", "-c", dir_ + "/config"}, false), std::string(),
                                false);
    if (!sway_) {
        error_ = "cannot start sway";
        return;
    }
    const std::string ready = dir_ + "/ready";
    const bool up = waitUntil(
        [&] { return std::filesystem::exists(ready) || sway_->waitForExit(milliseconds(0)).has_value(); },
        milliseconds(10000));
    if (!up || !std::filesystem::exists(ready)) {
        error_ = "sway did not start within 10 s";
        return;
    }
    for (const auto &entry : std::filesystem::directory_iterator(runtimeDir_)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos)
            socket_ = entry.path().string();
    }
    if (socket_.empty())
        error_ = "sway opened no socket";
    std::ifstream in(ready);
    std::getline(in, xDisplay_);
    if (options.xwayland && xDisplay_.empty())
        error_ = "sway started no XWayland";
}

SwaySession::~SwaySession()
{
    wev_.reset();
    sway_.reset();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

std::vector<std::string> SwaySession::asCompositorUser(const std::vector<std::string> &argv,
                                                       bool withDisplays) const
{
    std::vector<std::string> full;
    if (geteuid() == 0)
        full = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    full.insert(full.end(),
                {"env", "-i", "PATH=/usr/local/bin:/usr/bin:/bin", "HOME=" + dir_,
                 "XDG_RUNTIME_DIR=" + runtimeDir_, "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                 "WLR_RENDERER=pixman", "LANG=C.UTF-8"});
    if (withDisplays) {
        full.push_back("WAYLAND_DISPLAY=" + socket_);
        if (!xDisplay_.empty())
            full.push_back("DISPLAY=" + xDisplay_);
    }
    full.insert(full.end(), argv.begin(), argv.end());
    return full;
}

bool SwaySession::startRecorder()
{
    wev_ = ChildProcess::start(asCompositorUser({"stdbuf", "-oL", "wev", "-f", "wl_keyboard"}, true),
                               std::string(), true);
    if (!wev_)
        return false;
    wevOutput_ = std::make_unique<LineReader>(wev_->outputFd());
    return true;
}

bool SwaySession::readWevLine(milliseconds deadline, std::string *line)
{
    if (!wevOutput_)
        return false;
    const auto got = wevOutput_->readLine(deadline);
    if (!got)
        return false;
    *line = *got;
    static const std::regex modifiers(R"((depressed|latched|locked): ([0-9a-fA-F]+))");
    std::smatch m;
    if (line->find("wl_keyboard] keymap:") != std::string::npos)
        ++keymaps_;
    else if (line->find("wl_keyboard] enter:") != std::string::npos)
        focused_ = true;
    else if (line->find("wl_keyboard] modifiers:") != std::string::npos)
        modifiers_ = 0;
    else if (std::regex_search(*line, m, modifiers))
        modifiers_ |= unsigned(std::stoul(m[2].str(), nullptr, 16));
    return true;
}

bool SwaySession::waitForKeyboardFocus(milliseconds deadline)
{
    const auto end = Clock::now() + deadline;
    std::string line;
    while (!focused_) {
        if (!readWevLine(remaining(end), &line))
            return false;
    }
    return true;
}

std::optional<RecordedKey> SwaySession::nextKey(milliseconds deadline)
{
    static const std::regex keyLine(R"(wl_keyboard\] key: .*key: (\d+); state: (\d))");
    static const std::regex symLine(R"(sym: (\S+)\s+\((\d+)\), utf8: '([\s\S]*)')");
    const auto end = Clock::now() + deadline;
    std::string line;
    while (readWevLine(remaining(end), &line)) {
        std::smatch key;
        if (!std::regex_search(line, key, keyLine))
            continue;
        const bool pressed = key[2].str() == "1";
        RecordedKey result;
        result.receivedNs = nowNs();
        result.keycode = unsigned(std::stoul(key[1].str()));
        std::string symbol;
        if (!readWevLine(remaining(end), &symbol))
            return std::nullopt;
        if (!pressed) {
            ++releases_;
            continue;
        }
        std::smatch sym;
        if (std::regex_search(symbol, sym, symLine)) {
            result.keysym = std::stoul(sym[2].str());
            result.text = QString::fromStdString(sym[3].str());
        }
        result.line = line + " / " + symbol;
        return result;
    }
    return std::nullopt;
}

std::optional<int> SwaySession::run(const std::vector<std::string> &argv, milliseconds deadline)
{
    auto child = ChildProcess::start(asCompositorUser(argv, true), std::string(), false, -1, true);
    if (!child)
        return std::nullopt;
    return child->waitForExit(deadline);
}

bool SwaySession::waitForReleases(int count, milliseconds deadline)
{
    const auto end = Clock::now() + deadline;
    std::string line;
    while (releases_ < count) {
        if (!readWevLine(remaining(end), &line))
            return false;
        if (line.find("wl_keyboard] key:") != std::string::npos && line.find("state: 0") != std::string::npos)
            ++releases_;
    }
    return true;
}

void SwaySession::stopCompositor()
{
    sway_.reset();
}

} // namespace tavlun::test
