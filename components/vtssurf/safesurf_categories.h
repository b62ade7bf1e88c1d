/* The eleven SafeSurf categories in the order of SafeSurfSettings.levels: the transmit name that
 * labels carry and the category's title. */
#ifndef SAFESURF_CATEGORIES_H
#define SAFESURF_CATEGORIES_H

#include "vtssurf.h"

struct SafeSurfCategory {
    const char* code;   /* "SS~~000" to "SS~~00A" */
    const char* title;
};

static const struct SafeSurfCategory kSafeSurfCategories[SAFESURF_CATEGORY_COUNT] = {
    {"SS~~000", "Age Range"},
    {"SS~~001", "Profanity"},
    {"SS~~002", "Heterosexual Themes"},
    {"SS~~003", "Homosexual Themes"},
    {"SS~~004", "Nudity"},
    {"SS~~005", "Violence"},
    {"SS~~006", "Sex, Violence and Profanity"},
    {"SS~~007", "Intolerance"},
    {"SS~~008", "Glorifying Drug Use"},
    {"SS~~009", "Other Adult Themes"},
    {"SS~~00A", "Gambling"},
};

#endif
