// Text order as people read it: the user's locale's collation (accented letters among their
// base letters, "Ángel" with the A's and "Çelik" with the C's, lower case before upper case
// of the same word). Under the bare "C" locale, which would put every accented letter after
// "Z", US English collation is used instead. The record grid sorts and groups text by it.
#pragma once

#include <string>
#include <vector>

namespace views {

// The dense rank of each text (UTF-8) in collation order: equal texts get equal ranks, and
// a text that sorts before another gets a smaller rank. Ranks start at 0.
std::vector<int> CollationRanks(const std::vector<const std::string*>& texts);

// <0, 0 or >0 as a sorts before, with or after b.
int CollateTexts(const std::string& a, const std::string& b);

}  // namespace views
