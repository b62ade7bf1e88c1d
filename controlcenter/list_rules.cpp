#include "list_rules.h"

#include <lexstore.h>
#include <termutil.h>

#include <string.h>

namespace {

const char kInputError[] = "Input Error !";

ListMessage information(const char* caption, const std::string& text) { return ListMessage{caption, text, true}; }

void add(std::vector<ListMessage>* messages, const ListMessage& message) {
    if (messages) messages->push_back(message);
}

std::string lower_case(const char* text) {
    std::string key = text ? text : "";
    ConvertToLowerCase(&key[0]);
    return key;
}

}  // namespace

int ClassifyListEntry(int kind, const char* text, std::vector<ListMessage>* messages) {
    if (!text || !*text) return -1;
    const bool dot = strchr(text, '.') != nullptr;
    const bool space = strchr(text, ' ') != nullptr;
    const char* star = strchr(text, '*');
    const bool slash = strchr(text, '/') != nullptr;

    if (!dot && !space && !star && !slash) {
        if (kind == DisallowList) return Word;
        if (kind == SearchEngineList) return CleanedSearchSite;
    }
    if ((dot || !slash) && !star && !space) {
        if (kind == DisallowList) return BlockedSite;
        if (kind == AllowUnchangedList) return AllowedSite;
    }
    if ((dot || slash || space) && !star && kind == DisallowList) return Phrase;
    if ((dot || slash) && !star && !space && kind == SearchEngineList) return CleanedSearchSite;
    if ((dot || star) && !space && kind == DisallowList) {
        const size_t length = strlen(text);
        if (star && strchr(star + 1, '*')) {
            add(messages, information(kInputError,
                                      "To many wildcards.\n Please use wildcards \"*\" as follows:\n *word or word*."));
        } else if (length <= 4) {
            add(messages, information(kInputError, "Word to short for use with wildcards."));
        } else if (text[0] == '*' || text[length - 1] == '*') {
            return WildcardWord;
        } else {
            add(messages, information(kInputError, "Wildcards can only be used at the begining or end of the word.\n."));
        }
    }
    return -1;
}

bool ListShowsType(int kind, int type) {
    if (kind == AllowUnchangedList) return type == AllowedSite;
    if (kind == SearchEngineList) return type == CleanedSearchSite;
    return type != AllowedSite && type != CleanedSearchSite;
}

std::vector<std::string> ReadListEntries(int kind) {
    std::vector<std::string> texts;
    LexRecord records[LEXS_BATCH];
    INT state = 0, aux = 0;
    while (state != LEXS_STATE_END) {
        INT last = -1;
        if (!lexs_readallkeys(records, &last, &state, &aux)) break;
        for (INT i = 0; i <= last && i < LEXS_BATCH; ++i) {
            records[i].key[LEXS_KEY_SIZE - 1] = '\0';
            if (records[i].key[0] != '\0' && ListShowsType(kind, records[i].type)) texts.push_back(records[i].key);
        }
    }
    return texts;
}

bool InsertListEntry(int kind, const char* input, std::vector<ListMessage>* messages) {
    if (!input || !*input) return false;
    const int type = ClassifyListEntry(kind, input, messages);
    if (type < 0) {
        add(messages, information(kInputError, "Format Incorrect "));
        return false;
    }
    const std::string key = lower_case(input);
    char value[LEXS_VALUE_SIZE] = {0};
    INT storedType = 0, aux = 0;
    if (lexs_retrievedb(value, key.c_str(), &storedType, &aux) == 1) {
        add(messages, information("Duplicate Input - Error !    ", std::string(input) + " has already been inserted. "));
        return false;
    }
    const char empty[LEXS_VALUE_SIZE] = {0};
    return lexs_insertdb(empty, key.c_str(), type, -1) == 1;
}

std::vector<ListMessage> UpdateDialogShown(const char* oldText) {
    const std::string key = lower_case(oldText);
    char value[LEXS_VALUE_SIZE] = {0};
    INT type = 0, aux = 0;
    if (!key.empty() && lexs_retrievedb(value, key.c_str(), &type, &aux) == 1) return {};
    return {ListMessage{"Retrieve Error !!!", std::string(oldText ? oldText : "") + " cannot be found in DB", false}};
}

bool UpdateListEntry(int kind, const char* oldText, const char* input, int* outcome,
                     std::vector<ListMessage>* messages) {
    *outcome = UpdateNothingChanged;
    if (!input || !*input) return false;
    if (oldText && strcmp(oldText, input) == 0) return true;
    const int type = ClassifyListEntry(kind, input, messages);
    if (type < 0) {
        add(messages, information(kInputError, "Format Incorrect"));
        return false;
    }
    // The old entry's type, to put it back if the new entry cannot be stored.
    char value[LEXS_VALUE_SIZE] = {0};
    INT oldType = -1, oldAux = -1;
    const bool oldFound = lexs_retrievedb(value, oldText, &oldType, &oldAux) == 1;
    const char empty[LEXS_VALUE_SIZE] = {0};
    if (lexs_deletekey(empty, oldText) != 1) return true;
    if (lexs_insertdb(empty, lower_case(input).c_str(), type, -1) == 1) {
        *outcome = UpdateUpdated;
        return true;
    }
    if (oldFound) lexs_insertdb(value, lower_case(oldText).c_str(), oldType, oldAux);
    return true;
}

const char kDeleteCaption[] = "Delete From Dictionary";

std::string DeleteFirstQuestion(const char* oldText) {
    return std::string("Delete ") + oldText + " from Dictionary ? \nPlease confirm ?";
}

std::string DeleteSecondQuestion(const char* oldText) {
    return std::string(oldText) + " will be deleted from the dictionary. \nPlease confirm ?";
}

bool DeleteListEntry(const char* oldText) {
    const char empty[LEXS_VALUE_SIZE] = {0};
    return lexs_deletekey(empty, oldText) == 1;
}
