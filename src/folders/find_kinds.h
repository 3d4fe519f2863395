// The look-for kinds of the find dialog: for each kind number (FolderId) the folder whose
// look-for methods it offers, the field that gives the returned text, the settings key of the
// remembered method, the result grid's layout file (below the application folder), the icon
// key and the window caption. Numbers 23 to 26 are kinds 1, 9, 8 and 6 with the layout of the
// most recently used records. 12, 13, 14, 17, 21, 22 and numbers outside 1 to 26 are no kind.
// No Qt.
#pragma once

#include <cstdint>

namespace folders {

struct FindKind {
    int32_t folderId;
    const char* folder;
    const char* itemValueFieldName;
    const char* lookForKey;
    const char* layoutFile;  // relative to the application folder, beginning with "/"
    const char* iconKey;
    const char* caption;
};

// The kind of a number, or nullptr when the number names none.
const FindKind* FindKindOf(int32_t folderId);

// Kinds whose returned values have forms of their own.
inline constexpr int32_t kFindPatients = 1;
inline constexpr int32_t kFindReferrals = 2;
inline constexpr int32_t kFindDoctors = 3;
inline constexpr int32_t kFindHospitals = 4;
inline constexpr int32_t kFindPlaceOfService = 7;
inline constexpr int32_t kFindInsurance = 8;
inline constexpr int32_t kFindInsuranceMru = 25;

}  // namespace folders
