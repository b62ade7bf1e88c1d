// List lines with tabs, as a list box with tab stops shows them.
#pragma once

#include <wx/string.h>
#include <wx/window.h>

#include <string>

// The line with each tab widened to the next tab stop (every 32 dialog units of the window's
// dialog), by blanks measured in the widget's font.
wxString WxExpandTabs(const std::string& line, const wxWindow& widget);
