#include "SendInputKeyInjector.h"

#include <windows.h>

namespace tavlun::keystrokes::windows {

namespace {

INPUT keyEvent(WORD virtualKey, WORD unit, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = unit;
    input.ki.dwFlags = flags;
    return input;
}

// The integrity level (a mandatory label's RID) of a process; 0 when it
// cannot be read.
DWORD integrityLevel(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return 0;
    DWORD level = 0;
    alignas(TOKEN_MANDATORY_LABEL) BYTE buffer[64];
    DWORD size = 0;
    if (GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof buffer, &size)) {
        const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL *>(buffer)->Label.Sid;
        level = *GetSidSubAuthority(sid, DWORD(*GetSidSubAuthorityCount(sid) - 1));
    }
    CloseHandle(token);
    return level;
}

// True when the foreground window belongs to a process of a higher
// integrity level than this one, or to one whose level this process may not
// even read (an elevated one).
bool foregroundIsElevated()
{
    const HWND foreground = GetForegroundWindow();
    DWORD pid = 0;
    if (!foreground || !GetWindowThreadProcessId(foreground, &pid) || pid == GetCurrentProcessId())
        return false;
    const DWORD own = integrityLevel(GetCurrentProcess());
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return false;
    const DWORD theirs = integrityLevel(process);
    const bool unreadable = theirs == 0 && GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(process);
    return own != 0 && (theirs > own || unreadable);
}

} // namespace

std::vector<INPUT> inputsFor(core::Key key)
{
    WORD virtualKey = 0;
    switch (key.kind()) {
    case core::Key::Kind::Backspace:
        virtualKey = VK_BACK;
        break;
    case core::Key::Kind::Enter:
        virtualKey = VK_RETURN;
        break;
    case core::Key::Kind::Escape:
        virtualKey = VK_ESCAPE;
        break;
    case core::Key::Kind::Character: {
        const char32_t c = key.character();
        std::vector<WORD> units;
        if (c > 0xFFFF)
            units = {WORD(0xD800 + ((c - 0x10000) >> 10)), WORD(0xDC00 + ((c - 0x10000) & 0x3FF))};
        else
            units = {WORD(c)};
        std::vector<INPUT> inputs;
        for (const DWORD flags : {DWORD(KEYEVENTF_UNICODE), DWORD(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)})
            for (const WORD unit : units)
                inputs.push_back(keyEvent(0, unit, flags));
        return inputs;
    }
    }
    return {keyEvent(virtualKey, 0, 0), keyEvent(virtualKey, 0, KEYEVENTF_KEYUP)};
}

bool SendInputKeyInjector::type(core::Key key)
{
    if (foregroundIsElevated()) {
        if (!toldElevated_ && onProblem) {
            toldElevated_ = true;
            onProblem("Yönetici olarak çalışan bir uygulamaya tuş gönderilemiyor (Windows buna izin vermiyor). "
                      "O uygulamayı normal çalıştırın ya da Tavlun'u da yönetici olarak başlatın.");
        }
        return false;
    }
    std::vector<INPUT> inputs = inputsFor(key);
    return SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

} // namespace tavlun::keystrokes::windows
