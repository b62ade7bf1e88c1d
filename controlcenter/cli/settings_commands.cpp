#include "settings_commands.h"

#include "password_commands.h"
#include "settings_reading.h"

#include <rating_texts.h>
#include <settings_texts.h>

#include <VTList.h>
#include <safesurf_categories.h>
#include <vtfw.h>
#include <vtrsac.h>
#include <vtssurf.h>

#include <errno.h>
#include <stdlib.h>

#include <cctype>

const char kTopicsHelp[] =
    "  topics [--select N...] [--factory]\n"
    "                        the filter topics, numbered, [x] for those filtered and blocked;\n"
    "                        --select N... filters exactly the topics numbered N (none when no number\n"
    "                        follows); --factory restores the factory topics; changes need the password\n";
const char kProtocolsHelp[] =
    "  protocols [--block PORT...] [--allow PORT...] [--factory]\n"
    "                        the Internet applications blocked by their port; --block and --allow\n"
    "                        change the rules of those ports; --factory restores the factory rules\n";
const char kRsaciHelp[] =
    "  rsaci [--enable|--disable] [--language N] [--violence N] [--sex N] [--nudity N] [--factory]\n"
    "                        the highest RSACi level (0 to 4) a page may carry in each category, and\n"
    "                        whether pages are judged by their RSACi label at all\n";
const char kSafeSurfHelp[] =
    "  safesurf [--enable|--disable] [--CATEGORY LEVEL...] [--factory]\n"
    "                        the highest SafeSurf level (1 to 9) a page may carry in each category\n"
    "                        (--age-range, --profanity, --heterosexual-themes, --homosexual-themes,\n"
    "                        --nudity, --violence, --sex-violence-and-profanity, --intolerance,\n"
    "                        --glorifying-drug-use, --other-adult-themes, --gambling)\n";

bool ParseNumber(const std::string& text, int low, int high, int* value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    const long number = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < low || number > high) return false;
    *value = static_cast<int>(number);
    return true;
}

namespace {

// The option name of a SafeSurf category: its title in lower case, words joined by "-".
std::string safesurf_option(int category) {
    std::string option = "--";
    bool gap = false;
    for (const char* p = kSafeSurfCategories[category].title; *p; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p))) {
            if (gap && option.size() > 2) option += '-';
            option += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
            gap = false;
        } else {
            gap = true;
        }
    }
    return option;
}

// Numbers that follow an option until the next option.
size_t take_numbers(const std::vector<std::string>& arguments, size_t at, int low, int high, std::vector<int>& out,
                    std::string& bad) {
    while (at < arguments.size() && arguments[at].rfind("--", 0) != 0) {
        int value = 0;
        if (!ParseNumber(arguments[at], low, high, &value)) {
            bad = arguments[at];
            return at;
        }
        out.push_back(value);
        ++at;
    }
    return at;
}

int stored(bool written, const char* what) {
    if (!written) return Failure(std::string("the ") + what + " cannot be stored");
    return 0;
}

void print_topics(const TopicRecord& record) {
    const int inUse = EntriesInUse(record.count);
    for (int i = 0; i < inUse; ++i)
        printf("%2d [%c] %.*s\n", i + 1, record.entries[i].enabled == 1 ? 'x' : ' ', VTLIST_NAME_SIZE - 1,
               record.entries[i].name);
}

void print_protocols(const ProtocolRuleTable& table) {
    const int inUse = EntriesInUse(table.count);
    for (int i = 0; i < inUse; ++i)
        printf("%5d %-7s %.*s\n", table.rules[i].port, table.rules[i].blocked == 1 ? "blocked" : "allowed",
               PROTOCOL_NAME_SIZE - 1, table.rules[i].name);
}

void print_rsac(const RsacSettings& record) {
    printf("RSACi ratings: %s\n", record.enabled == 1 ? "filtered" : "not filtered");
    for (const RsacCategory& category : kRsacCategories) {
        const int level = record.*category.field;
        printf("  %-9s %s\n", category.label, level >= 0 && level <= 4 ? category.levels[level] : "(not a level)");
    }
}

void print_safesurf(const SafeSurfSettings& record) {
    printf("SafeSurf ratings: %s\n", record.enabled == 1 ? "filtered" : "not filtered");
    for (int category : kSafeSurfScreenOrder) {
        const char* text = SafeSurfLevelText(category, record.levels[category]);
        printf("  %-28s %s\n", kSafeSurfCategories[category].title, *text ? text : "(not a level)");
    }
}

}  // namespace

int TopicsCommand(const std::vector<std::string>& arguments, bool passwordStdin) {
    bool select = false, factory = false;
    std::vector<int> numbers;
    for (size_t at = 0; at < arguments.size();) {
        const std::string& arg = arguments[at++];
        std::string bad;
        if (arg == "--select") {
            select = true;
            at = take_numbers(arguments, at, 1, VTLIST_ENTRIES, numbers, bad);
            if (!bad.empty()) return UsageError("not a topic number: '" + bad + "'");
        } else if (arg == "--factory") {
            factory = true;
        } else {
            return UsageError("unexpected argument '" + arg + "'");
        }
    }
    if (select && factory) return UsageError("--select and --factory do not go together");
    TopicRecord record;
    if (!ReadSettings(&record, vtlist_init, vtlist_read, vtlist_regen, kTopicStoreTexts)) return 1;
    if (select || factory) {
        if (int refusal = CheckPasswordCommand(passwordStdin)) return refusal;
        if (factory) {
            if (int failed = stored(vtlist_regen(&record) == 1, "factory topics")) return failed;
        } else {
            const int inUse = EntriesInUse(record.count);
            for (int number : numbers)
                if (number > inUse) return Failure("there is no topic " + std::to_string(number));
            for (int i = 0; i < inUse; ++i) record.entries[i].enabled = 0;
            for (int number : numbers) record.entries[number - 1].enabled = 1;
            if (int failed = stored(vtlist_write(&record) == 1, "topic selection")) return failed;
            vtlist_read(&record);
        }
    }
    print_topics(record);
    return 0;
}

int ProtocolsCommand(const std::vector<std::string>& arguments, bool passwordStdin) {
    std::vector<int> block, allow;
    bool factory = false;
    for (size_t at = 0; at < arguments.size();) {
        const std::string& arg = arguments[at++];
        std::string bad;
        if (arg == "--block" || arg == "--allow") {
            at = take_numbers(arguments, at, 0, 65535, arg == "--block" ? block : allow, bad);
            if (!bad.empty()) return UsageError("not a port: '" + bad + "'");
        } else if (arg == "--factory") {
            factory = true;
        } else {
            return UsageError("unexpected argument '" + arg + "'");
        }
    }
    const bool change = !block.empty() || !allow.empty();
    if (change && factory) return UsageError("--factory goes alone");
    ProtocolRuleTable table;
    if (!ReadSettings(&table, static_cast<int (*)(ProtocolRuleTable*)>(nullptr), vtfw_read, vtfw_regen,
                      kProtocolStoreTexts))
        return 1;
    if (change || factory) {
        const int inUse = EntriesInUse(table.count);
        auto rule = [&](int port) -> ProtocolRule* {
            for (int i = 0; i < inUse; ++i)
                if (table.rules[i].port == port) return &table.rules[i];
            return nullptr;
        };
        for (const std::vector<int>* ports : {&block, &allow})
            for (int port : *ports)
                if (!rule(port)) return Failure("there is no protocol rule for port " + std::to_string(port));
        if (int refusal = CheckPasswordCommand(passwordStdin)) return refusal;
        if (factory) {
            if (int failed = stored(vtfw_regen(&table) == 1, "factory protocol rules")) return failed;
        } else {
            for (int port : block) rule(port)->blocked = 1;
            for (int port : allow) rule(port)->blocked = 0;
            if (int failed = stored(vtfw_write(&table) == 1, "protocol rules")) return failed;
        }
    }
    print_protocols(table);
    return 0;
}

namespace {

// The options of a rating command: --enable or --disable, --factory, and a level option per
// category (names[i], levels low to high as the person reads them, stored as level - offset).
struct RatingOptions {
    int enabled = -1;
    bool factory = false;
    std::vector<int> levels;  // per category, -1 when not given
    bool change() const {
        bool any = enabled >= 0;
        for (int level : levels) any = any || level >= 0;
        return any;
    }
};

int parse_rating_options(const std::vector<std::string>& arguments, const std::vector<std::string>& names, int low,
                         int high, int offset, RatingOptions& options) {
    options.levels.assign(names.size(), -1);
    for (size_t at = 0; at < arguments.size(); ++at) {
        const std::string& arg = arguments[at];
        if (arg == "--enable" || arg == "--disable") {
            options.enabled = arg == "--enable";
            continue;
        }
        if (arg == "--factory") {
            options.factory = true;
            continue;
        }
        size_t category = 0;
        while (category < names.size() && names[category] != arg) ++category;
        if (category == names.size()) return UsageError("unexpected argument '" + arg + "'");
        int level = 0;
        if (at + 1 >= arguments.size() || !ParseNumber(arguments[at + 1], low, high, &level))
            return UsageError(arg + " needs a level from " + std::to_string(low) + " to " + std::to_string(high));
        options.levels[category] = level - offset;
        ++at;
    }
    if (options.change() && options.factory) return UsageError("--factory goes alone");
    return 0;
}

// Reads the record, applies the options behind the password (a factory reset, or the levels and
// the switch given), and shows the record.
template <class Record, class Apply, class Print>
int run_rating_command(const RatingOptions& options, bool passwordStdin, int (*init)(Record*), int (*read)(Record*),
                       int (*write)(Record*), int (*regen)(Record*), const SettingsStoreTexts& texts, const char* what,
                       Apply&& apply, Print&& print) {
    Record record;
    if (!ReadSettings(&record, init, read, regen, texts)) return 1;
    if (options.change() || options.factory) {
        if (int refusal = CheckPasswordCommand(passwordStdin)) return refusal;
        if (options.factory) {
            if (int failed = stored(regen(&record) == 1, (std::string("factory ") + what).c_str())) return failed;
        } else {
            if (options.enabled >= 0) record.enabled = options.enabled;
            apply(record);
            if (int failed = stored(write(&record) == 1, what)) return failed;
        }
    }
    print(record);
    return 0;
}

}  // namespace

int RsaciCommand(const std::vector<std::string>& arguments, bool passwordStdin) {
    std::vector<std::string> names;
    for (const RsacCategory& category : kRsacCategories) {
        std::string option = std::string("--") + category.label;
        for (char& c : option) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        names.push_back(option);
    }
    RatingOptions options;
    if (int refusal = parse_rating_options(arguments, names, 0, 4, 0, options)) return refusal;
    return run_rating_command<RsacSettings>(
        options, passwordStdin, nullptr, vtrsac_read, vtrsac_write, vtrsac_regen, kRsacStoreTexts, "RSACi settings",
        [&options](RsacSettings& record) {
            for (size_t i = 0; i < options.levels.size(); ++i)
                if (options.levels[i] >= 0) record.*kRsacCategories[i].field = options.levels[i];
        },
        print_rsac);
}

int SafeSurfCommand(const std::vector<std::string>& arguments, bool passwordStdin) {
    std::vector<std::string> names;
    for (int category = 0; category < SAFESURF_CATEGORY_COUNT; ++category) names.push_back(safesurf_option(category));
    RatingOptions options;
    if (int refusal = parse_rating_options(arguments, names, 1, 9, 1, options)) return refusal;
    return run_rating_command<SafeSurfSettings>(
        options, passwordStdin, vtssurf_init, vtssurf_read, vtssurf_write, vtssurf_regen, kSafeSurfStoreTexts,
        "SafeSurf settings",
        [&options](SafeSurfSettings& record) {
            for (size_t i = 0; i < options.levels.size(); ++i)
                if (options.levels[i] >= 0) record.levels[i] = options.levels[i];
        },
        print_safesurf);
}
