/* termscan_init: fills the six list tables from the user's dictionary and the topic word
 * dictionary. */
#include <stdio.h>
#include <string.h>

#include <new>

#include <string>
#include <unordered_set>
#include <vector>

#include <VTList.h>
#include <dbdir.h>
#include <lexstore.h>
#include <store_recovery.h>
#include <vtlogger.h>

#include "termscan.h"
#include "worddict.h"

namespace {

struct Table {
    TermSlot* slots;
    INT* count;
    int capacity;

    void add(const char* text, size_t length) {
        if (!slots || !count || *count < 0 || *count >= capacity || length == 0) return;
        if (length > TERMSCAN_SLOT_SIZE - 1) length = TERMSCAN_SLOT_SIZE - 1;
        char* slot = slots[*count];
        memset(slot, 0, TERMSCAN_SLOT_SIZE);
        memcpy(slot, text, length);
        ++*count;
    }
};

/* A batch enumeration that never ends is cut off after this many batches. */
constexpr int kMaxBatches = 1 << 16;

void load_user_lists(Table& words, Table& phrases, Table& disallowed, Table& unchanged, Table& cleaning) {
    if (lexs_openit() != 1) return;
    LexRecord records[LEXS_BATCH];
    INT last = 0, state = 0, aux = 0;
    for (int batch = 0; batch < kMaxBatches; ++batch) {
        memset(records, 0, sizeof(records));
        last = -1;
        if (lexs_readallkeys(records, &last, &state, &aux) != 1) break;
        const int end = last >= LEXS_BATCH ? LEXS_BATCH - 1 : last;
        for (int i = 0; i <= end; ++i) {
            const LexRecord& r = records[i];
            const void* nul = memchr(r.key, '\0', LEXS_KEY_SIZE);
            const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - r.key) : LEXS_KEY_SIZE;
            if (length == 0) continue;
            switch (r.type) {
            case WildcardWord:
            case Word:
                words.add(r.key, length);
                break;
            case Phrase:
                phrases.add(r.key, length);
                break;
            case BlockedSite:
                disallowed.add(r.key, length);
                break;
            case AllowedSite:
                unchanged.add(r.key, length);
                break;
            case CleanedSearchSite:
                cleaning.add(r.key, length);
                break;
            default:
                break;
            }
        }
        if (state == LEXS_STATE_END) break;
    }
    lexs_closedbase();
}

/* Reads a whole file of at most maxSize bytes; false if it is missing, larger or unreadable. */
bool read_file(const char* relative, size_t maxSize, std::vector<unsigned char>& out) {
    out.clear();
    char path[MAX_PATH] = {0};
    if (dbdir_path(relative, path, sizeof(path)) != 1) return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= maxSize;
    if (ok) {
        out.resize(size);
        DWORD done = 0;
        while (ok && done < size) {
            DWORD got = 0;
            ok = ReadFile(file, out.data() + done, size - done, &got, NULL) && got > 0;
            done += got;
        }
    }
    CloseHandle(file);
    if (!ok) out.clear();
    return ok;
}

void warn(const char* text) { VTLogger_Submit("WARNING", 0, text); }

void load_topic_words(Table& topics) {
    TopicRecord record;
    // A failed regen still leaves the factory topics in the record.
    qf_read_store(&record, vtlist_init, vtlist_read, vtlist_regen, [](StoreRead) {
        warn(QF_TAMPERED_TOPICS);
    });
    const int inUse = record.count < 0 ? 0 : (record.count > VTLIST_ENTRIES ? VTLIST_ENTRIES : record.count);
    std::vector<int32_t> selected;
    for (int i = 0; i < inUse; ++i)
        if (record.entries[i].enabled == 1) selected.push_back(record.entries[i].id);
    if (selected.empty()) return;

    std::vector<unsigned char> index, data;
    std::vector<worddict::Topic> entries;
    if (!read_file("db\\dict1\\worddict.idx", worddict::kMaxIndexSize, index) ||
        !read_file("db\\dict1\\worddict.dat", worddict::kMaxDataSize, data) ||
        !worddict::read_index(index.data(), index.size(), data.size(), entries)) {
        warn("The filter topic word list is missing or damaged. Filter topics are not applied until the filter is updated.");
        return;
    }

    std::unordered_set<int32_t> done;
    std::unordered_set<std::string> seen;
    std::vector<std::string> words;
    for (int32_t id : selected) {
        if (!done.insert(id).second) continue;
        bool loaded = false;
        for (const worddict::Topic& topic : entries) {
            if (topic.id != id) continue;
            loaded = worddict::read_words(data.data(), data.size(), topic, words);
            if (loaded)
                for (const std::string& word : words)
                    if (seen.insert(word).second) topics.add(word.data(), word.size());
            break;  // the first entry of an id counts
        }
        if (!loaded) {
            char text[255] = {0};
            snprintf(text, sizeof(text),
                     "The word list of filter topic %d is missing or damaged. It is not applied until the filter is updated.",
                     static_cast<int>(id));
            warn(text);
        }
    }
}

}  // namespace

extern "C" int termscan_init(TermSlot* words, INT* wordCount, TermSlot* topics, INT* topicCount, TermSlot* phrases,
                             INT* phraseCount, TermSlot* disallowedSites, INT* disallowedSiteCount,
                             TermSlot* unchangedSites, INT* unchangedSiteCount, TermSlot* cleaningSites,
                             INT* cleaningSiteCount) {
    Table tables[6] = {{words, wordCount, TERMSCAN_WORD_CAPACITY},
                       {topics, topicCount, TERMSCAN_TOPIC_CAPACITY},
                       {phrases, phraseCount, TERMSCAN_PHRASE_CAPACITY},
                       {disallowedSites, disallowedSiteCount, TERMSCAN_SITE_CAPACITY},
                       {unchangedSites, unchangedSiteCount, TERMSCAN_SITE_CAPACITY},
                       {cleaningSites, cleaningSiteCount, TERMSCAN_SITE_CAPACITY}};
    for (Table& t : tables)
        if (t.count) *t.count = 0;
    try {
        load_user_lists(tables[0], tables[2], tables[3], tables[4], tables[5]);
        load_topic_words(tables[1]);
    } catch (const std::bad_alloc&) {
        // What was filled stays; the counts always describe whole entries.
    }
    return 1;
}
