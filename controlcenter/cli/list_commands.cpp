#include "list_commands.h"

#include "cli_output.h"

#include <list_rules.h>

#include <lexstore.h>
#include <termutil.h>

#include <stdio.h>
#include <strings.h>

#include <algorithm>
#include <vector>

namespace {

const char* list_name(int kind) {
    switch (kind) {
    case DisallowList: return "disallow";
    case AllowUnchangedList: return "allow";
    default: return "search";
    }
}

const char* type_name(int type) {
    switch (type) {
    case WildcardWord: return "a wildcard word";
    case Word: return "a word";
    case BlockedSite: return "a site";
    case AllowedSite: return "a site allowed unchanged";
    case CleanedSearchSite: return "a search engine site, cleaned";
    default: return "a phrase";
    }
}

// The dictionary, open while a command uses it.
struct OpenDictionary {
    const bool open = lexs_openit() == 1;
    ~OpenDictionary() {
        if (open) lexs_closedbase();
    }
};

int refuse_text(const std::string& text) {
    if (text.empty()) return Failure("an entry needs a text");
    if (text.size() > static_cast<size_t>(kListEntryMaxLength))
        return Failure("an entry has at most " + std::to_string(kListEntryMaxLength) + " characters");
    if (text.find('\n') != std::string::npos) return Failure("an entry is one line of text");
    return 0;
}

int stored_type(const std::string& text) {
    std::string key = text;
    ConvertToLowerCase(&key[0]);
    char value[LEXS_VALUE_SIZE] = {0};
    INT type = -1, aux = 0;
    return lexs_retrievedb(value, key.c_str(), &type, &aux) == 1 ? type : -1;
}

}  // namespace

int ListKindNamed(const std::string& name) {
    if (name == "disallow") return DisallowList;
    if (name == "allow") return AllowUnchangedList;
    if (name == "search") return SearchEngineList;
    return 0;
}

int ListCommand(int kind) {
    OpenDictionary dictionary;
    if (!dictionary.open) return Failure("the dictionary cannot be opened");
    std::vector<std::string> texts = ReadListEntries(kind);
    std::sort(texts.begin(), texts.end(),
              [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
    for (const std::string& text : texts) printf("%s\n", text.c_str());
    return 0;
}

int AddCommand(int kind, const std::string& text) {
    if (int refusal = refuse_text(text)) return refusal;
    OpenDictionary dictionary;
    if (!dictionary.open) return Failure("the dictionary cannot be opened");
    std::vector<ListMessage> messages;
    if (!InsertListEntry(kind, text.c_str(), &messages)) {
        if (messages.empty()) return Failure("the dictionary did not take the entry");
        for (size_t i = 0; i + 1 < messages.size(); ++i) DialogRefusal(messages[i].text);
        return DialogRefusal(messages.back().text);
    }
    printf("added to the %s list as %s: %s\n", list_name(kind), type_name(stored_type(text)), text.c_str());
    return 0;
}

int RemoveCommand(int kind, const std::string& text) {
    if (int refusal = refuse_text(text)) return refusal;
    OpenDictionary dictionary;
    if (!dictionary.open) return Failure("the dictionary cannot be opened");
    const int type = stored_type(text);
    if (type < 0 || !ListShowsType(kind, type))
        return Failure(text + " is not in the " + std::string(list_name(kind)) + " list");
    if (!DeleteListEntry(text.c_str())) return Failure("the dictionary did not delete the entry");
    printf("removed from the %s list: %s\n", list_name(kind), text.c_str());
    return 0;
}
