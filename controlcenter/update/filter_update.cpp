// UpdateFilter: the size file, the three downloads checked against it, the backups, the
// replacement, and the topic selections carried over.
#include "filter_update.h"

#include "installed_files.h"
#include "size_file.h"
#include "topic_selections.h"
#include "update_server.h"

#include <dbdir.h>
#include <registry_reader.h>

#include <VTList.h>

#include <commctrl.h>

#include <memory>

const char kSizeFileServerPath[] = "/downloads/filters/v2/dload0.dd0";
const char kDictionaryDataServerPath[] = "/downloads/filters/v2/dload1.dd1";
const char kDictionaryIndexServerPath[] = "/downloads/filters/v2/dload2.dd2";
const char kTopicListServerPath[] = "/downloads/filters/v2/dload3.dd3";

const char kFilterUpdateCaption[] = "Quillfence - Filter update";
const char kFilterUpdateDone[] =
    "Filter update successfully completed.\nPlease review your selections from the filter topic list.";
const char kFilterUpdateFailed[] = "Error updating filter.\nPlease retry later.";

namespace {

const char kSizeFile[] = "log\\sdload.inf";

struct Download {
    const char* serverPath;
    const char* localFile;  // under DBDIR
};

// The downloads checked against the size file's three counts, in its order.
const Download kCheckedDownloads[3] = {
    {kDictionaryDataServerPath, "log\\dload1.dat"},
    {kDictionaryIndexServerPath, "log\\dload1.idx"},
    {kTopicListServerPath, "log\\dict.dat"},
};

std::string system_directory() {
    char directory[255] = {0};
    const UINT length = GetSystemDirectoryA(directory, sizeof(directory));
    if (length == 0 || length >= sizeof(directory)) return "";
    return std::string(directory) + "\\";
}

}  // namespace

FilterUpdate::FilterUpdate(AdvancedWindow& window) : window_(window) {}

void FilterUpdate::UpdateFilter() {
    std::unique_ptr<TopicRecord> record(new TopicRecord());
    vtlist_init(record.get());
    TopicSelections selections = {};

    window_.EnableButton(kUpdateFilterButton, FALSE);
    window_.Refresh();

    auto fail = [this] {
        window_.ShowMessageBox(kFilterUpdateFailed, kFilterUpdateCaption, MB_OK | MB_ICONSTOP);
        window_.EnableButton(kUpdateFilterButton, TRUE);
        window_.Refresh();
    };

    char dbdirValue[255] = {0};
    ReadRegistryString(QF_PRODUCT_KEY, QF_DBDIR_VALUE, dbdirValue);
    const std::string dbdir = dbdirValue;
    if (!ReadUpdateServer(host_, port_)) return fail();

    window_.SendProgressMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 4096));
    int byteCount = 0;
    const std::string sizeFile = dbdir + kSizeFile;
    if (!DownloadFile(sizeFile.c_str(), kSizeFileServerPath, byteCount)) return fail();
    UpdateSizes sizes = {};
    const bool sizesRead = ReadUpdateSizes(sizeFile.c_str(), sizes);
    DeleteFileA(sizeFile.c_str());
    if (!sizesRead) return fail();

    const int total = sizes.counts[0] + sizes.counts[1] + sizes.counts[2];
    window_.SendProgressMessage(PBM_SETRANGE32, 0, total);
    window_.SendProgressMessage(PBM_SETPOS, 0, 0);
    window_.Refresh();

    for (int i = 0; i < 3; ++i) {
        const std::string local = dbdir + kCheckedDownloads[i].localFile;
        if (!DownloadFile(local.c_str(), kCheckedDownloads[i].serverPath, byteCount) || byteCount != sizes.counts[i])
            return fail();
    }

    const std::string systemDirectory = system_directory();
    if (systemDirectory.empty()) return fail();
    InstalledFiles installed(dbdir, systemDirectory);
    if (!installed.BackUp()) return fail();
    if (vtlist_read(record.get()) == 1) RememberTopicSelections(*record, selections);
    if (!installed.Replace()) {
        installed.Restore();
        return fail();
    }
    vtlist_init(record.get());
    if (vtlist_read(record.get()) == 1) ApplyTopicSelections(selections, *record);
    if (vtlist_write(record.get()) != 1) {
        installed.Restore();
        return fail();
    }

    record.reset();
    installed.Finish();
    window_.ShowMessageBox(kFilterUpdateDone, kFilterUpdateCaption, MB_OK | MB_ICONINFORMATION);
    window_.SetFilterUpdateMarker();
    window_.EnableButton(kUpdateFilterButton, TRUE);
    window_.SendProgressMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    window_.SendProgressMessage(PBM_SETPOS, 0, 0);
    window_.Refresh();
}
