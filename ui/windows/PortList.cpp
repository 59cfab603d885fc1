#include "PortList.h"

#include "core/PortConnection.h"
#include "ui/layout/MainWindowLayout.h"

#include <commctrl.h>

namespace tavlun::ui::windows {

namespace look = layout::mainwindow;

namespace {

constexpr int kTextMargin = 2; // pixels on each side of an entry's text

void addTool(HWND tooltips, HWND owner, HWND tool)
{
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = owner;
    info.uId = UINT_PTR(tool);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tooltips, TTM_ADDTOOLW, 0, LPARAM(&info));
}

} // namespace

void PortList::create(HWND parent, HINSTANCE instance, int id)
{
    combo_ = CreateWindowExW(0, WC_COMBOBOXW, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST
                                 | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                             0, 0, 0, 0, parent, HMENU(INT_PTR(id)), instance, nullptr);
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    GetComboBoxInfo(combo_, &parts);
    dropDown_ = parts.hwndList;
    tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                0, 0, 0, 0, parent, nullptr, instance, nullptr);
    SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, 480);
    addTool(tooltips_, parent, combo_);
    addTool(tooltips_, parent, dropDown_);
    SetWindowSubclass(dropDown_, watchDropDown, 1, DWORD_PTR(this));
}

void PortList::place(PixelRect where, const layout::Font &font, int dpi)
{
    // The window's height includes the list that opens.
    SetWindowPos(combo_, nullptr, where.left, where.top, where.width, 13 * where.height, SWP_NOZORDER | SWP_NOACTIVATE);

    // Every text the closed list can show: the prompt and the entries of
    // the probed ports.
    std::vector<std::wstring> texts{wide(look::kPortListPrompt)};
    for (int number = 1; number <= core::PortConnection::kHighestPort; ++number)
        texts.push_back(wide(std::string(core::PortConnection::kEntryPrefix) + std::to_string(number)));
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    GetComboBoxInfo(combo_, &parts);
    const int room = int(parts.rcItem.right - parts.rcItem.left) - 2 * kTextMargin;
    HDC dc = GetDC(combo_);
    for (layout::Font fitted = font; fitted.points >= 6.0; fitted.points -= 0.25) {
        font_ = makeFont(fitted, dpi);
        HGDIOBJ old = SelectObject(dc, font_.get());
        bool fits = true;
        for (const std::wstring &text : texts) {
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
            fits = fits && size.cx <= room;
        }
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        itemHeight_ = metrics.tmHeight + 2;
        SelectObject(dc, old);
        if (fits)
            break;
    }
    ReleaseDC(combo_, dc);
    SendMessageW(combo_, WM_SETFONT, WPARAM(font_.get()), FALSE);
    SendMessageW(combo_, CB_SETITEMHEIGHT, 0, itemHeight_);

    // The closed list is as tall as the layout says: its field takes what
    // the border around it leaves.
    for (int pass = 0; pass < 2; ++pass) {
        RECT closed{};
        GetWindowRect(combo_, &closed);
        fieldHeight_ = int(SendMessageW(combo_, CB_GETITEMHEIGHT, WPARAM(-1), 0)) + where.height
            - (closed.bottom - closed.top);
        SendMessageW(combo_, CB_SETITEMHEIGHT, WPARAM(-1), fieldHeight_);
    }
    InvalidateRect(combo_, nullptr, TRUE);
}

void PortList::insert(int index, const PortEntry &entry)
{
    const std::wstring text = wide(entry.text);
    SendMessageW(combo_, CB_INSERTSTRING, WPARAM(index), LPARAM(text.c_str()));
    SendMessageW(combo_, CB_SETITEMDATA, WPARAM(index), LPARAM(entry.number));
    entries_.insert(entries_.begin() + index, entry);
}

void PortList::addProbed(PortEntry entry)
{
    insert(probed_++, entry);
}

void PortList::removeProbed(int index)
{
    if (index < 0 || index >= probed_)
        return;
    SendMessageW(combo_, CB_DELETESTRING, WPARAM(index), 0);
    entries_.erase(entries_.begin() + index);
    --probed_;
}

void PortList::setFurther(std::vector<PortEntry> entries)
{
    while (int(entries_.size()) > probed_) {
        SendMessageW(combo_, CB_DELETESTRING, WPARAM(entries_.size() - 1), 0);
        entries_.pop_back();
    }
    for (const PortEntry &entry : entries)
        insert(int(entries_.size()), entry);
}

int PortList::selectedNumber() const
{
    const LRESULT index = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? 0 : int(SendMessageW(combo_, CB_GETITEMDATA, WPARAM(index), 0));
}

void PortList::selectNumber(int number)
{
    const LRESULT count = SendMessageW(combo_, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        if (SendMessageW(combo_, CB_GETITEMDATA, WPARAM(index), 0) == number)
            SendMessageW(combo_, CB_SETCURSEL, WPARAM(index), 0);
    }
}

bool PortList::isOpen() const
{
    return SendMessageW(combo_, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

void PortList::setHelp(const std::string &text)
{
    help_ = text;
    SendMessageW(tooltips_, TTM_ACTIVATE, !help_.empty(), 0);
}

void PortList::measure(MEASUREITEMSTRUCT &item) const
{
    if (itemHeight_)
        item.itemHeight = UINT(item.itemID == UINT(-1) ? fieldHeight_ : itemHeight_);
}

void PortList::draw(const DRAWITEMSTRUCT &item) const
{
    const bool picked = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & ODS_DISABLED;
    std::wstring text;
    if (item.itemID == UINT(-1) || item.itemID >= entries_.size())
        text = (item.itemState & ODS_COMBOBOXEDIT) ? wide(look::kPortListPrompt) : L"";
    else
        text = wide(entries_[item.itemID].text);
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(picked ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC,
                 GetSysColor(disabled ? COLOR_GRAYTEXT : picked ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(item.hDC, font_.get());
    RECT area = item.rcItem;
    area.left += kTextMargin;
    DrawTextW(item.hDC, text.c_str(), int(text.size()), &area, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(item.hDC, old);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(item.hDC, &item.rcItem);
}

int PortList::hoveredEntry() const
{
    POINT pointer{};
    GetCursorPos(&pointer);
    ScreenToClient(dropDown_, &pointer);
    const LRESULT hit = SendMessageW(dropDown_, LB_ITEMFROMPOINT, 0, MAKELPARAM(pointer.x, pointer.y));
    return HIWORD(hit) ? -1 : int(LOWORD(hit));
}

bool PortList::tooltipText(NMTTDISPINFOW &request)
{
    if (request.hdr.idFrom == UINT_PTR(combo_)) {
        tooltip_ = isOpen() ? L"" : wide(help_);
    } else if (request.hdr.idFrom == UINT_PTR(dropDown_)) {
        const int entry = hoveredEntry();
        tooltip_ = entry >= 0 && entry < int(entries_.size()) ? wide(entries_[std::size_t(entry)].description) : L"";
    } else {
        return false;
    }
    request.lpszText = tooltip_.data();
    return true;
}

LRESULT CALLBACK PortList::watchDropDown(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self)
{
    // A new entry under the pointer asks for the tooltip's text again.
    auto *list = reinterpret_cast<PortList *>(self);
    if (message == WM_MOUSEMOVE) {
        const int entry = list->hoveredEntry();
        if (entry != list->hovered_) {
            list->hovered_ = entry;
            SendMessageW(list->tooltips_, TTM_POP, 0, 0);
        }
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace tavlun::ui::windows
