#pragma once

#include "Gdi.h"
#include "Scaling.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace tavlun::ui::windows {

// One entry of the port list: its text, its port number and what the
// entry's tooltip says about the device.
struct PortEntry {
    std::string text;
    int number;
    std::string description;
};

// The port list: a pick-only drop-down list that shows "Port Seçin" while
// nothing is picked, fits its font to its narrow width, and shows each
// entry's device in a tooltip while the list is open. Its entries are the
// probed ports, addressed by index from 0 as port discovery adds and
// removes them, then the further ports, replaced as a whole.
class PortList {
public:
    void create(HWND parent, HINSTANCE instance, int id);
    HWND handle() const { return combo_; }
    // Places the list and draws it in the largest size of `font` (up to
    // its own) that shows every possible entry whole.
    void place(PixelRect where, const layout::Font &font, int dpi);

    void addProbed(PortEntry entry);
    void removeProbed(int index);
    void setFurther(std::vector<PortEntry> entries);
    const std::vector<PortEntry> &entries() const { return entries_; }
    // The port number of the picked entry; 0 when none is picked.
    int selectedNumber() const;
    // Picks the entry of port `number`, where there is one.
    void selectNumber(int number);
    bool isOpen() const;

    // The tooltip of the closed list: why ports are missing, the latest failure.
    void setHelp(const std::string &text);
    const std::string &help() const { return help_; }

    // The parent passes these on.
    void measure(MEASUREITEMSTRUCT &item) const;
    void draw(const DRAWITEMSTRUCT &item) const;
    // Text for a tooltip that asks (TTN_GETDISPINFO); false when it is not one of ours.
    bool tooltipText(NMTTDISPINFOW &request);

private:
    static LRESULT CALLBACK watchDropDown(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR self);
    void insert(int index, const PortEntry &entry);
    int hoveredEntry() const;

    HWND combo_ = nullptr;
    HWND dropDown_ = nullptr; // the list that opens
    HWND tooltips_ = nullptr;
    Font font_;
    int itemHeight_ = 0;  // of an entry in the list that opens
    int fieldHeight_ = 0; // of the field that shows the picked entry
    std::vector<PortEntry> entries_;
    int probed_ = 0; // the first entries are the probed ones
    std::string help_;
    std::wstring tooltip_; // the text handed out last
    int hovered_ = -1;
};

} // namespace tavlun::ui::windows
