// machine_print_policy: the policy as a filter loads it, read through the same component calls.
#include "machine.h"
#include "machine_seeding.h"

#include <windows.h>

#include <VTList.h>
#include <termscan.h>
#include <vtfw.h>
#include <vtperiod.h>
#include <vtrsac.h>
#include <vtssurf.h>

#include <qf/machine_root.h>
#include <provider_key.h>
#include <safesurf_categories.h>
#include <store_recovery.h>

#include <cstring>
#include <iomanip>
#include <memory>
#include <string>
#include <vector>

namespace qf {
namespace {


// A fixed-size text field as a string, never reading past the field.
std::string field_text(const char* field, size_t size) {
    const void* end = std::memchr(field, '\0', size);
    return std::string(field, end ? static_cast<size_t>(static_cast<const char*>(end) - field) : size);
}

int clamp_count(INT count, int capacity) { return count < 0 ? 0 : (count > capacity ? capacity : count); }

// "title (n):" followed by the entries, wrapped at about 100 columns.
void print_list(std::ostream& out, const char* title, const TermSlot* slots, INT count, int capacity) {
    const int n = clamp_count(count, capacity);
    out << "  " << title << " (" << n << ")" << (n ? ":" : "") << "\n";
    std::string line;
    for (int i = 0; i < n; ++i) {
        std::string entry = field_text(slots[i], TERMSCAN_SLOT_SIZE);
        if (!line.empty() && line.size() + entry.size() + 2 > 100) {
            out << "    " << line << ",\n";
            line.clear();
        }
        line += (line.empty() ? "" : ", ") + entry;
    }
    if (!line.empty()) out << "    " << line << "\n";
}

// The filter's tamper rule: a store that cannot be read gets its factory settings.
template <class Record>
void read_store(Record* record, int (*init)(Record*), int (*read)(Record*), int (*regen)(Record*), const char* what,
                std::ostream& out) {
    qf_read_store(record, init, read, regen, [&](StoreRead) {
        out << "  (the stored " << what << " were missing or damaged: factory settings restored, as the filter does)\n";
    });
}

void print_lists(std::ostream& out) {
    struct Tables {
        TermSlot words[TERMSCAN_WORD_CAPACITY];
        TermSlot topics[TERMSCAN_TOPIC_CAPACITY];
        TermSlot phrases[TERMSCAN_PHRASE_CAPACITY];
        TermSlot disallowed[TERMSCAN_SITE_CAPACITY];
        TermSlot unchanged[TERMSCAN_SITE_CAPACITY];
        TermSlot cleaning[TERMSCAN_SITE_CAPACITY];
    };
    auto t = std::make_unique<Tables>();
    INT words = 0, topics = 0, phrases = 0, disallowed = 0, unchanged = 0, cleaning = 0;
    termscan_init(t->words, &words, t->topics, &topics, t->phrases, &phrases, t->disallowed, &disallowed,
                  t->unchanged, &unchanged, t->cleaning, &cleaning);
    out << "Lists (as termscan_init fills them):\n";
    print_list(out, "Disallowed words", t->words, words, TERMSCAN_WORD_CAPACITY);
    print_list(out, "Disallowed phrases", t->phrases, phrases, TERMSCAN_PHRASE_CAPACITY);
    print_list(out, "Disallowed sites", t->disallowed, disallowed, TERMSCAN_SITE_CAPACITY);
    print_list(out, "Sites left unchanged", t->unchanged, unchanged, TERMSCAN_SITE_CAPACITY);
    print_list(out, "Search sites cleaned", t->cleaning, cleaning, TERMSCAN_SITE_CAPACITY);
    print_list(out, "Topic words of the selected topics", t->topics, topics, TERMSCAN_TOPIC_CAPACITY);
}

void print_topics(std::ostream& out) {
    auto record = std::make_unique<TopicRecord>();
    out << "\nFilter topics:\n";
    qf_read_store(record.get(), vtlist_init, vtlist_read, vtlist_regen, [&](StoreRead) {
        out << "  (the topic list could not be read: factory topics restored, as the filter does)\n";
    });
    const int n = clamp_count(record->count, VTLIST_ENTRIES);
    for (int i = 0; i < n; ++i) {
        const TopicEntry& topic = record->entries[i];
        out << "  [" << (topic.enabled ? 'x' : ' ') << "] " << std::setw(2) << topic.id << "  "
            << field_text(topic.name, VTLIST_NAME_SIZE) << "\n";
    }
    if (n == 0) out << "  (none)\n";
}

void print_protocols(std::ostream& out) {
    auto table = std::make_unique<ProtocolRuleTable>();
    out << "\nProtocol rules:\n";
    read_store(table.get(), vtfw_init, vtfw_read, vtfw_regen, "protocol settings", out);
    const int n = clamp_count(table->count, PROTOCOL_RULE_CAPACITY);
    for (int i = 0; i < n; ++i) {
        const ProtocolRule& rule = table->rules[i];
        out << "  " << (rule.blocked ? "blocked" : "allowed") << "  " << std::setw(5) << rule.port << "  "
            << field_text(rule.name, PROTOCOL_NAME_SIZE) << "\n";
    }
}

void print_ratings(std::ostream& out) {
    auto rsac = std::make_unique<RsacSettings>();
    out << "\nRSACi ratings:\n";
    read_store(rsac.get(), vtrsac_init, vtrsac_read, vtrsac_regen, "RSACi settings", out);
    out << "  filtering " << (rsac->enabled == 1 ? "on" : "off") << "; highest levels allowed: sex "
        << rsac->sexLevel << ", violence " << rsac->violenceLevel << ", language " << rsac->languageLevel
        << ", nudity " << rsac->nudityLevel << "\n";

    auto safeSurf = std::make_unique<SafeSurfSettings>();
    out << "\nSafeSurf ratings:\n";
    read_store(safeSurf.get(), vtssurf_init, vtssurf_read, vtssurf_regen, "SafeSurf settings", out);
    out << "  filtering " << (safeSurf->enabled ? "on" : "off") << "; highest SafeSurf level allowed (1-9):\n";
    for (int i = 0; i < SAFESURF_CATEGORY_COUNT; ++i)
        out << "    " << std::left << std::setw(38)
            << std::string(kSafeSurfCategories[i].code) + " " + kSafeSurfCategories[i].title << std::right
            << safeSurf->levels[i] + 1 << "\n";
}

void print_schedule(std::ostream& out) {
    static const char* const kDays[ACCESS_DAYS] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
    auto times = std::make_unique<AccessTimeTable>();
    out << "\nAccess times:\n";
    read_store(times.get(), vtperiod_init, vtperiod_read, vtperiod_regen, "time settings", out);
    out << "  time management " << (times->enabled ? "active" : "not active") << ", warning "
        << times->warningMinutes << " minutes before the allowed time runs out\n";
    // One character per half hour; a label every three hours.
    std::string header(12, ' ');
    for (int hour = 0; hour < 24; hour += 3) {
        std::string label = (hour < 10 ? "0" : "") + std::to_string(hour);
        header += label + std::string(6 - label.size(), ' ');
    }
    header.erase(header.find_last_not_of(' ') + 1);
    out << header << "\n";
    for (int day = 0; day < ACCESS_DAYS; ++day) {
        out << "  " << std::left << std::setw(10) << kDays[day] << std::right;
        for (int slot = 0; slot < ACCESS_SLOTS_PER_DAY; ++slot) out << (times->slots[day][slot] ? '#' : '.');
        out << "\n";
    }
    out << "  ('#' = access allowed in that half hour, '.' = not allowed)\n";
    if (times->enabled) {
        static const char* const kNow[] = {"not allowed", "allowed", "allowed, ending within the warning time"};
        int now = vtperiod_validate_currenttime(times.get());
        out << "  now: " << (now >= 0 && now <= 2 ? kNow[now] : "unknown") << "\n";
    }
}

}  // namespace

void machine_print_policy(std::ostream& out) {
    out << "Machine root: " << machine_root() << "\n";
    std::string dbdir;
    out << "Installation directory (DBDIR): " << (read_dbdir(dbdir) ? dbdir : std::string("(not set)")) << "\n";
    HKEY provider = nullptr;
    bool filtering = RegOpenKeyExA(HKEY_LOCAL_MACHINE, QF_PROVIDER_KEY, 0, KEY_QUERY_VALUE, &provider) == ERROR_SUCCESS;
    if (filtering) RegCloseKey(provider);
    out << "Filtering: " << (filtering ? "on (the layered provider is installed)" : "off") << "\n\n";
    print_lists(out);
    print_topics(out);
    print_protocols(out);
    print_ratings(out);
    print_schedule(out);
}

}  // namespace qf
