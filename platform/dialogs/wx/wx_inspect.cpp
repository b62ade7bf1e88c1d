// Pictures and layout checks of open dialogs, for tests.
#include <wx_inspect.h>

#include "wx_dialog_window.h"

#include <wx/checkbox.h>
#include <wx/control.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/stattext.h>
#include <wx/tokenzr.h>

#include <gtk/gtk.h>

#include <unistd.h>

#include <chrono>

namespace {

// Lets the toolkit lay out and draw what is pending: until nothing has come for a few rounds,
// and never longer than a short while.
void let_draw(wxWindow& window) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    window.Refresh();
    int quietRounds = 0;
    while (quietRounds < 3 && std::chrono::steady_clock::now() < deadline) {
        bool busy = false;
        while (gtk_events_pending()) {
            gtk_main_iteration_do(FALSE);
            busy = true;
        }
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_UI);
        quietRounds = busy ? 0 : quietRounds + 1;
        usleep(10000);
    }
}

std::string name_of(const DlgControl& control) {
    std::string name = control.id == IDC_STATIC ? "static" : std::to_string(control.id);
    if (!control.text.empty()) name += " \"" + control.text + "\"";
    return name;
}

// Words of text as the platform's static control breaks them into lines of at most width
// pixels: the number of lines, and false when a word alone is wider than the line.
bool wrap_lines(const wxWindow& widget, const wxString& text, int width, int& lines) {
    lines = 0;
    for (const wxString& paragraph : wxSplit(text, '\n', '\0')) {
        ++lines;
        int used = 0;
        for (const wxString& word : wxSplit(paragraph, ' ', '\0')) {
            const int wordWidth = widget.GetTextExtent(word).x;
            if (wordWidth > width) return false;
            const int space = used ? widget.GetTextExtent(" ").x : 0;
            if (used && used + space + wordWidth > width) {
                ++lines;
                used = wordWidth;
            } else {
                used += space + wordWidth;
            }
        }
    }
    return true;
}

// Why the control's text does not fit its rectangle; empty when it fits.
std::string clipping(const WxDialogWindow::View& view) {
    const DlgControl& control = *view.control;
    wxWindow& widget = *view.widget;
    const wxSize size = widget.GetSize();
    const wxString text = wxControl::RemoveMnemonics(wxString::FromUTF8(control.text));
    const int lineHeight = widget.GetCharHeight();
    switch (control.kind) {
    case DlgControlKind::Static: {
        if (text.empty()) return "";
        int lines = 0;
        if (!wrap_lines(widget, text, size.x, lines)) return "a word is wider than the control";
        if (lines * lineHeight > size.y)
            return std::to_string(lines) + " lines of " + std::to_string(lineHeight) + " px in " + std::to_string(size.y) + " px";
        return "";
    }
    case DlgControlKind::GroupBox:
        if (!text.empty() && widget.GetTextExtent(text).x + 12 > size.x) return "the title is wider than the frame";
        return "";
    case DlgControlKind::Button:
    case DlgControlKind::CheckBox: {
        // What the toolkit needs to draw the label (and a check box's box) whole.
        widget.InvalidateBestSize();
        const wxSize needed = widget.GetBestSize();
        if (needed.x > size.x || needed.y > size.y)
            return "needs " + std::to_string(needed.x) + "x" + std::to_string(needed.y) + " px, has " +
                   std::to_string(size.x) + "x" + std::to_string(size.y);
        return "";
    }
    case DlgControlKind::Edit:
    case DlgControlKind::ComboBox: {
        widget.InvalidateBestSize();
        const int needed = std::max(widget.GetBestSize().y, lineHeight + 2);
        if (!(control.style & DLGS_MULTILINE) && needed > size.y)
            return "a line needs " + std::to_string(needed) + " px, has " + std::to_string(size.y);
        return "";
    }
    case DlgControlKind::ListBox:
        if (lineHeight + 4 > size.y) return "not one line fits";
        return "";
    default:
        return "";
    }
}

}  // namespace

bool WxSaveScreenshot(const CDialog& dialog, const std::string& path, std::string& error) {
    WxDialogWindow* window = WxDialogWindow::Of(dialog);
    if (!window) {
        error = "the dialog has no window";
        return false;
    }
    let_draw(*window);
    GdkWindow* surface = gtk_widget_get_window(window->GetHandle());
    const wxSize client = window->GetClientSize();
    GdkPixbuf* pixels = surface ? gdk_pixbuf_get_from_window(surface, 0, 0, client.x, client.y) : nullptr;
    if (!pixels) {
        error = "the window's pixels cannot be read";
        return false;
    }
    wxImage content(client.x, client.y, false);
    const int stride = gdk_pixbuf_get_rowstride(pixels);
    const int channels = gdk_pixbuf_get_n_channels(pixels);
    const guchar* data = gdk_pixbuf_get_pixels(pixels);
    for (int y = 0; y < client.y; ++y)
        for (int x = 0; x < client.x; ++x) {
            const guchar* p = data + y * stride + x * channels;
            content.SetRGB(x, y, p[0], p[1], p[2]);
        }
    g_object_unref(pixels);

    // A title bar with the caption, as a window manager would draw it.
    const int titleHeight = 22;
    wxBitmap picture(client.x + 2, client.y + titleHeight + 1, 24);
    {
        wxMemoryDC dc(picture);
        dc.SetBackground(wxBrush(wxColour(50, 60, 80)));
        dc.Clear();
        dc.GradientFillLinear(wxRect(1, 1, client.x, titleHeight - 1), wxColour(10, 36, 106), wxColour(90, 120, 190));
        wxFont bold = WxDialogFont().Bold();
        dc.SetFont(bold);
        dc.SetTextForeground(*wxWHITE);
        dc.DrawText(window->GetTitle(), 6, (titleHeight - dc.GetCharHeight()) / 2);
        dc.DrawBitmap(wxBitmap(content), 1, titleHeight);
    }
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    if (!picture.ConvertToImage().SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::vector<std::string> WxLayoutFaults(const CDialog& dialog) {
    std::vector<std::string> faults;
    WxDialogWindow* window = WxDialogWindow::Of(dialog);
    if (!window) return {"the dialog has no window"};
    let_draw(*window);
    const wxRect client(wxPoint(0, 0), window->GetClientSize());
    const auto& views = window->Views();
    for (size_t i = 0; i < views.size(); ++i) {
        const WxDialogWindow::View& view = views[i];
        if (!view.control->visible) continue;
        const wxRect rect = view.widget->GetRect();
        if (!client.Contains(rect)) faults.push_back(name_of(*view.control) + " falls outside the dialog");
        const std::string clipped = clipping(view);
        if (!clipped.empty()) faults.push_back(name_of(*view.control) + " is clipped: " + clipped);
        for (size_t j = i + 1; j < views.size(); ++j) {
            const WxDialogWindow::View& other = views[j];
            if (!other.control->visible) continue;
            const wxRect otherRect = other.widget->GetRect();
            if (!rect.Intersects(otherRect)) continue;
            // A group box frames the controls inside it.
            const bool framed = (view.control->kind == DlgControlKind::GroupBox && rect.Contains(otherRect)) ||
                                (other.control->kind == DlgControlKind::GroupBox && otherRect.Contains(rect));
            if (!framed) faults.push_back(name_of(*view.control) + " overlaps " + name_of(*other.control));
        }
    }
    return faults;
}
