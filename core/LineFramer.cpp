#include "LineFramer.h"

namespace tavlun::core {

void LineFramer::feed(std::string_view bytes, const std::function<void()> &lineDone)
{
    std::size_t pos = 0;
    if (lineFeedEndsTerminator_ && !bytes.empty()) {
        lineFeedEndsTerminator_ = false;
        if (bytes.front() == '\n')
            pos = 1;
    }
    while (pos < bytes.size()) {
        const std::size_t cr = bytes.find('\r', pos);
        if (cr == std::string_view::npos) {
            appendPartial(bytes.substr(pos));
            return;
        }
        appendPartial(bytes.substr(pos, cr - pos));
        if (discarding_) {
            discarding_ = false;
        } else {
            line_ += '\r';
            lineDone();
        }
        line_.clear();
        pos = cr + 1;
        if (pos == bytes.size())
            lineFeedEndsTerminator_ = true;
        else if (bytes[pos] == '\n')
            ++pos;
    }
}

void LineFramer::appendPartial(std::string_view part)
{
    if (discarding_ || part.empty())
        return;
    line_ += part;
    if (line_.size() > kMaxLineLength) {
        line_.clear();
        discarding_ = true;
    }
}

void LineFramer::clear()
{
    line_.clear();
    lineFeedEndsTerminator_ = false;
    discarding_ = false;
}

} // namespace tavlun::core
