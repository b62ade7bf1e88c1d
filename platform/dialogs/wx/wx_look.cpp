// The look of the dialogs: the dialog font, chosen so that dialog units come out as the
// platform's dialog font gives them, compact widget metrics for controls laid out in those units,
// and the pictures drawn for icon resources (the resources carry numbers, not images).
#include "wx_dialog_window.h"

#include <wx/dcmemory.h>
#include <wx/fontenum.h>
#include <wx/graphics.h>

#include <gtk/gtk.h>

namespace {

// The platform's dialogs are laid out for MS Sans Serif 8 at 96 dpi: base units of 6 x 13 pixels
// (the average width of the 52 letters, and the font's height).
const int kBaseWidth = 6;
const int kBaseHeight = 13;

wxSize base_units(const wxFont& font) {
    wxBitmap scratch(8, 8);
    wxMemoryDC dc(scratch);
    dc.SetFont(font);
    wxCoord width = 0, height = 0;
    dc.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
    return wxSize((width / 26 + 1) / 2, height);
}

}  // namespace

// The first face and size whose base units are the platform's; else the size nearest to them
// that does not pass them (so text fits where it fits there). Faces narrower than their height
// (condensed sans faces) come out as the platform's dialog font does.
wxFont WxDialogFont() {
    static const wxFont chosen = [] {
        wxFont best(wxFontInfo(8.0).Family(wxFONTFAMILY_SWISS));
        int bestDistance = 1 << 30;
        for (const char* face : {"DejaVu Sans Condensed", "Nimbus Sans Narrow", "Liberation Sans Narrow", "Arial",
                                 "Liberation Sans", "Nimbus Sans", "DejaVu Sans"}) {
            if (!wxFontEnumerator::IsValidFacename(face)) continue;
            for (double points = 7.0; points <= 10.0; points += 0.5) {
                wxFont candidate(wxFontInfo(points).FaceName(face));
                const wxSize units = base_units(candidate);
                if (units.x > kBaseWidth || units.y > kBaseHeight) continue;
                const int distance = (kBaseWidth - units.x) * 4 + (kBaseHeight - units.y);
                if (distance < bestDistance) {
                    best = candidate;
                    bestDistance = distance;
                }
                if (distance == 0) return best;
            }
        }
        return best;
    }();
    return chosen;
}

void WxDialogBaseUnits(int& width, int& height) {
    const wxSize units = base_units(WxDialogFont());
    width = units.x;
    height = units.y;
}

// GTK's default metrics are for layouts that grow to fit; these dialogs have fixed rectangles
// sized for the platform's thin borders, so paddings and minimum sizes are cut to match.
void wx_compact_style() {
    static const char kCss[] =
        "button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
        "entry { min-height: 0; padding: 0 3px; }\n"
        "checkbutton { min-height: 0; padding: 0; }\n"
        "check { min-width: 13px; min-height: 13px; margin: 0 4px 0 0; }\n"
        "combobox button.combo { min-height: 0; padding: 0 4px; }\n"
        "combobox arrow { min-width: 10px; min-height: 10px; }\n"
        "scale { min-height: 0; min-width: 0; padding: 0 4px; }\n"
        "scale slider { min-width: 11px; min-height: 14px; margin: -5px; }\n"
        "scale marks { margin: 0; }\n"
        "progressbar trough, progressbar progress { min-height: 8px; }\n"
        "treeview { padding: 0; }\n";
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

// A badge for an icon resource: a shield in a colour of its own for each resource number.
wxBitmap WxResourceIcon(int resource, int size) {
    wxImage image(size, size);
    image.InitAlpha();
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y) image.SetAlpha(x, y, 0);
    wxBitmap bitmap(image);
    wxMemoryDC dc(bitmap);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    if (!gc) return bitmap;
    static const wxColour kColours[] = {wxColour(40, 90, 170), wxColour(30, 140, 70), wxColour(190, 50, 40),
                                        wxColour(200, 130, 20), wxColour(110, 60, 160), wxColour(20, 130, 150)};
    const wxColour colour = kColours[static_cast<unsigned>(resource) % (sizeof(kColours) / sizeof(kColours[0]))];
    const double s = size;
    wxGraphicsPath shield = gc->CreatePath();
    shield.MoveToPoint(s * 0.5, s * 0.06);
    shield.AddLineToPoint(s * 0.9, s * 0.2);
    shield.AddCurveToPoint(s * 0.9, s * 0.6, s * 0.7, s * 0.82, s * 0.5, s * 0.95);
    shield.AddCurveToPoint(s * 0.3, s * 0.82, s * 0.1, s * 0.6, s * 0.1, s * 0.2);
    shield.CloseSubpath();
    gc->SetBrush(wxBrush(colour));
    gc->SetPen(wxPen(colour.ChangeLightness(60), std::max(1, size / 16)));
    gc->DrawPath(shield);
    gc->SetPen(wxPen(*wxWHITE, std::max(1.0, s / 10)));
    gc->StrokeLine(s * 0.32, s * 0.5, s * 0.46, s * 0.64);
    gc->StrokeLine(s * 0.46, s * 0.64, s * 0.7, s * 0.34);
    gc.reset();
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}
