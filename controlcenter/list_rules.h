// What the word and site list dialogs decide and say, shared by the dialogs and the admin command
// line: the classification of a typed text into a dictionary entry type, and the insert, update
// and delete of an entry in the dictionary of the three user lists. The callers keep the
// dictionary open (lexs_openit) while they use these.
#pragma once

#include <string>
#include <vector>

// Which list a dialog serves.
enum ListKind { DisallowList = 1, AllowUnchangedList = 2, SearchEngineList = 3 };

// The input field of the Insert and Update dialogs takes at most this many characters.
constexpr int kListEntryMaxLength = 45;

// A message box to show with an OK button; information = the information icon, else none.
struct ListMessage {
    const char* caption;
    std::string text;
    bool information;
};

// The entry type (0..5) of text in list kind, or -1 when the list does not take it; messages
// receives the wildcard rule's message when that rule refused it.
int ClassifyListEntry(int kind, const char* text, std::vector<ListMessage>* messages);

// Whether the window of list kind shows an entry of type.
bool ListShowsType(int kind, int type);

// The texts of every entry of list kind, in dictionary order (entries with an empty key skipped).
std::vector<std::string> ReadListEntries(int kind);

// Insert dialog, Insert pressed: true when input was stored (the dialog closes and lists it as
// typed); otherwise the dialog stays open with messages shown (none for an empty input or a
// dictionary that refused the entry).
bool InsertListEntry(int kind, const char* input, std::vector<ListMessage>* messages);

// Update dialog, shown for oldText: the message when the entry cannot be found.
std::vector<ListMessage> UpdateDialogShown(const char* oldText);

// The Update dialog's outcome.
enum UpdateOutcome { UpdateNothingChanged = 0, UpdateUpdated = 1, UpdateDeleted = 2 };

// Update pressed: true when the dialog closes, with *outcome; false when it stays open (empty
// input, or a text the list does not take, with messages). When the new entry cannot be stored,
// the old one is put back and the outcome is UpdateNothingChanged.
bool UpdateListEntry(int kind, const char* oldText, const char* input, int* outcome,
                     std::vector<ListMessage>* messages);

// The two questions asked before a delete (Yes and No, No the default).
extern const char kDeleteCaption[];  // "Delete From Dictionary"
std::string DeleteFirstQuestion(const char* oldText);
std::string DeleteSecondQuestion(const char* oldText);
// Both answered Yes: true when the entry was deleted (outcome UpdateDeleted).
bool DeleteListEntry(const char* oldText);
