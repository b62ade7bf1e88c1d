// Every dialog template of the Control Center drawn on the windowed backend under a private X
// server: a PNG of each in the build folder (screenshots/<template>.png), and no control clipped,
// overlapping another or outside its dialog in the dialog font.
#include "configurator_resources.h"

#include <dlg_app.h>
#include <dlg_dialog.h>
#include <wx_backend.h>
#include <wx_inspect.h>
#include <xvfb_server.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

TEST(ControlCenterTemplates, EachDrawsWithoutClippingOverlapOrOverflow) {
    qf_test::XvfbServer server;
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    server.Export();
    int argc = 1;
    char name[] = "templates_render_test";
    char* argv[] = {name, nullptr};
    ASSERT_TRUE(WxDialogsStart(argc, argv, error)) << error;
    int baseWidth = 0, baseHeight = 0;
    WxDialogBaseUnits(baseWidth, baseHeight);
    printf("dialog base units: %d x %d pixels\n", baseWidth, baseHeight);

    mkdir(QF_SCREENSHOT_DIR, 0755);
    DlgSetResources(&kConfiguratorResources);
    WxBackend backend;
    DlgSetBackend(&backend);
    ASSERT_GT(kConfiguratorResources.templateCount, 0u);
    for (size_t i = 0; i < kConfiguratorResources.templateCount; ++i) {
        const DlgTemplate& source = kConfiguratorResources.templates[i];
        SCOPED_TRACE("template " + std::to_string(source.id) + " \"" + source.caption + "\"");
        std::vector<std::string> faults;
        bool shown = false;
        backend.SetShownListener([&](CDialog& dialog) {
            shown = true;
            const std::string png = std::string(QF_SCREENSHOT_DIR) + "/" + std::to_string(source.id) + ".png";
            std::string pictureError;
            EXPECT_TRUE(WxSaveScreenshot(dialog, png, pictureError)) << pictureError;
            faults = WxLayoutFaults(dialog);
            dialog.EndDialog(IDCANCEL);
        });
        CDialog dialog(source.id);
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
        EXPECT_TRUE(shown);
        for (const std::string& fault : faults) ADD_FAILURE() << fault;
    }
    DlgSetBackend(nullptr);
    WxDialogsStop();
}

}  // namespace
