#include "ComPortNames.h"

#include <charconv>

namespace tavlun::serial::windows {

std::string comPortName(int number)
{
    return "COM" + std::to_string(number);
}

std::optional<int> comPortNumber(std::string_view name)
{
    if (name.size() < 4 || (name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm')
        return std::nullopt;
    const std::string_view digits = name.substr(3);
    if (digits.front() < '1' || digits.front() > '9')
        return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || number > 255)
        return std::nullopt;
    return number;
}

std::string portDescription(int number, const std::map<int, std::string> &friendlyNames)
{
    const auto found = friendlyNames.find(number);
    return found != friendlyNames.end() && !found->second.empty() ? found->second : comPortName(number);
}

} // namespace tavlun::serial::windows
