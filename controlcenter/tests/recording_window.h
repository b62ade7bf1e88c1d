// An Advanced settings window for tests: it records what the filter update and the log buttons
// did to it and answers message boxes as the test says.
#pragma once

#include <advanced_window.h>

#include <commctrl.h>

#include <ostream>
#include <string>
#include <vector>

namespace controlcenter_test {

struct ShownBox {
    std::string text;
    std::string caption;
    UINT type;
    bool operator==(const ShownBox& other) const {
        return text == other.text && caption == other.caption && type == other.type;
    }
    friend std::ostream& operator<<(std::ostream& out, const ShownBox& box) {
        return out << "[" << box.caption << "] " << box.text << " (type " << box.type << ")";
    }
};

struct ProgressMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class RecordingWindow : public AdvancedWindow {
public:
    LRESULT SendProgressMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        progress.push_back({message, wParam, lParam});
        return 0;
    }
    void EnableButton(int id, BOOL enable) override {
        buttons.push_back(std::to_string(id) + (enable ? " on" : " off"));
    }
    void Refresh() override { ++refreshes; }
    int ShowMessageBox(const char* text, const char* caption, UINT type) override {
        boxes.push_back({text, caption, type});
        return answer;
    }
    void ShowWaitCursor() override { cursor.push_back("wait"); }
    void RestoreCursor() override { cursor.push_back("restore"); }
    void SetFilterUpdateMarker() override { ++markers; }

    // The bytes the progress bar was advanced by (PBM_DELTAPOS).
    long long advanced() const {
        long long total = 0;
        for (const ProgressMessage& m : progress)
            if (m.message == PBM_DELTAPOS) total += static_cast<long long>(m.wParam);
        return total;
    }

    int answer = IDOK;
    std::vector<ProgressMessage> progress;
    std::vector<std::string> buttons;
    std::vector<ShownBox> boxes;
    std::vector<std::string> cursor;
    int refreshes = 0;
    int markers = 0;
};

}  // namespace controlcenter_test
