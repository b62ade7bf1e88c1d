#include "clean_page.h"

std::string clean_page(size_t size) {
    static const char* const words[] = {
        "the",     "garden",  "recipe",   "weather", "library",  "school",   "history", "science",
        "travel",  "music",   "football", "bicycle", "mountain", "river",    "kitchen", "market",
        "holiday", "window",  "question", "answer",  "morning",  "evening",  "friends", "family",
        "picture", "village", "station",  "ticket",  "summer",   "paper",    "pencil",  "museum"};
    std::string page =
        "<!DOCTYPE html>\n<html><head><title>Community news</title>\n"
        "<meta charset=\"utf-8\"><link rel=\"stylesheet\" href=\"/css/site.css\">\n"
        "<script>function show(id){var e=document.getElementById(id);if(e){e.style.display='block';}}"
        "</script></head>\n<body>\n";
    unsigned seed = 12345;
    while (page.size() < size) {
        page += "<div class=\"article\"><h2>";
        for (int i = 0; i < 4; ++i) {
            seed = seed * 1103515245u + 12345u;
            page += words[(seed >> 16) % (sizeof words / sizeof *words)];
            page += ' ';
        }
        page += "</h2><p>";
        for (int i = 0; i < 60; ++i) {
            seed = seed * 1103515245u + 12345u;
            page += words[(seed >> 16) % (sizeof words / sizeof *words)];
            page += (i % 12 == 11) ? ". " : " ";
        }
        page += "</p><a href=\"/articles/2024/item.html\">Read more</a></div>\n";
    }
    page.resize(size);
    return page;
}
