#include "SystemComPorts.h"

#include "ComPortNames.h"

#include <windows.h>
// clang-format off: initguid.h first, so that devguid.h defines the class GUIDs.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

namespace tavlun::serial::windows {

namespace {

void readDeviceMap(std::set<int> &numbers)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        wchar_t data[64];
        DWORD nameLength = 256;
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        if (const auto number = comPortNumber(utf8(data)))
            numbers.insert(*number);
    }
    RegCloseKey(key);
}

// The "PortName" that a port device's driver keeps in its registry key.
std::string portNameOf(HDEVINFO devices, SP_DEVINFO_DATA &device)
{
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[64] = {};
    DWORD bytes = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const bool read = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE *>(name), &bytes)
            == ERROR_SUCCESS
        && type == REG_SZ;
    RegCloseKey(key);
    return read ? utf8(name) : std::string();
}

void readFriendlyNames(std::map<int, std::string> &names)
{
    HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const auto number = comPortNumber(portNameOf(devices, device));
        wchar_t friendly[256] = {};
        if (number
            && SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                                 reinterpret_cast<BYTE *>(friendly),
                                                 sizeof friendly - sizeof(wchar_t), nullptr))
            names[*number] = utf8(friendly);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

} // namespace

SystemComPorts readSystemComPorts()
{
    SystemComPorts ports;
    readDeviceMap(ports.numbers);
    readFriendlyNames(ports.friendlyNames);
    return ports;
}

std::string utf8(const wchar_t *text, int length)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(std::size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
    if (length < 0)
        out.pop_back(); // the terminating null
    return out;
}

std::string errorText(unsigned long code)
{
    wchar_t *words = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t *>(&words), 0, nullptr);
    std::string text = length ? utf8(words, int(length)) : std::string();
    LocalFree(words);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "hata " + std::to_string(code) : text + " (" + std::to_string(code) + ")";
}

} // namespace tavlun::serial::windows
