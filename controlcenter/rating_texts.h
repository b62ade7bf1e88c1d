// The rating dialogs' categories and the meaning of each level, shared by the dialogs and the
// admin command line.
#pragma once

#include <vtrsac.h>
#include <vtssurf.h>

// An RSACi category in the dialog's row order (Language, Violence, Sex, Nudity): its label, the
// record field it sets, and the texts of positions 0 to 4.
struct RsacCategory {
    const char* label;
    INT RsacSettings::*field;
    const char* levels[5];
};
extern const RsacCategory kRsacCategories[4];

// The text of a SafeSurf slider position (0 to 8, SafeSurf level position + 1) in the category of
// record index category (0 Age Range .. 10 Gambling); "" outside those.
const char* SafeSurfLevelText(int category, int position);

// The SafeSurf rows from top to bottom on screen, as record indexes.
extern const int kSafeSurfScreenOrder[SAFESURF_CATEGORY_COUNT];
