#include "wx_list_text.h"

#include <wx/toplevel.h>

wxString WxExpandTabs(const std::string& line, const wxWindow& widget) {
    const wxWindow* dialog = wxGetTopLevelParent(const_cast<wxWindow*>(&widget));
    const int stop = std::max((dialog ? dialog : &widget)->ConvertDialogToPixels(wxSize(32, 0)).x, 1);
    const int blank = std::max(widget.GetTextExtent(" ").x, 1);
    wxString shown;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        shown += wxString::FromUTF8(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return shown;
        const int width = widget.GetTextExtent(shown).x;
        const int next = (width / stop + 1) * stop;
        shown += wxString(' ', static_cast<size_t>(std::max((next - width + blank - 1) / blank, 1)));
        start = tab + 1;
    }
}
