// Record search of the find dialog: how a look-for entry's query text names the fields to
// search (ParseCondition), how the typed text is split and matched against them, and the scan
// over a record grid's rows (FindInGrid). Everything is compared in memory, without regard to
// case (Unicode lower case), and nothing is sent to the database.
//
// Query forms (words separated by single blanks, names with blanks in square brackets; the
// op and token words are placeholders that are not read):
//   Field op token                         prefix match on Field
//   Field1 op token and Field2 op token    both prefixes must match
//   Field1 op token or Field2 op token     either prefix may match
//   Field in token                         Field contains the text anywhere
//
// Matching: a field's value is taken as text (text fields as stored, trailing blanks and
// all; numbers, dates and logicals in their grid form), lower-cased, and compared with the
// start of it (prefix) or searched (contains). An empty text matches every value. A null
// field value, and a field the rows do not have, match only the empty text.
#pragma once

#include <cstdint>
#include <string>

namespace views {
class RecordGrid;
}  // namespace views

namespace folders {

// The field names of a query: Field1 always, Field2 for the two-field forms (else empty).
// Without "[": the words at 0 and 4. With a leading bracketed name: that name, and the words
// from 3 to the third-last of the rest (after "]" and one character), with the brackets taken
// out. A query with brackets that does not begin with one is read word by word, a bracketed
// name counting as one word.
void ParseCondition(const std::string& condition, std::string& field1, std::string& field2);

// How a query and a typed text are searched: the mode, the fields and the texts compared.
struct SearchPlan {
    enum class Mode { OneField, Contains, And, Or };
    Mode mode = Mode::OneField;
    std::string field1, field2;  // compared with text1 and text2 (OneField and Contains: field1 only)
    std::string text1, text2;    // lower-cased
};

// Reads the query and splits the typed text into the texts compared with each field.
//   OneField, Contains: text1 is the trimmed text.
//   And, when the text has a comma or no blank: split at ","; part 0 (not trimmed) goes to
//     field2, part 1 (trimmed) to field1 when there are exactly two parts; otherwise the
//     search is OneField on field2 with part 0 ("smith" searches field2, "smith, john"
//     searches field2 for smith and field1 for john).
//   And with a blank and no comma, and Or always: split at blanks; part 0 goes to field1,
//     part 1 (trimmed) to field2 when there are exactly two parts ("john smith").
SearchPlan PlanSearch(const std::string& query, const std::string& searchText);

// Moves the grid to the next row whose record matches searchText under query.
//
// Rows are the grid's record rows numbered from 1 in the order shown (group rows are not
// numbered, so records in closed groups are found too; their groups open); rows that hold no
// record are skipped. With restart set the scan starts at row 1; otherwise after position,
// wrapping once to row 1. On a match the grid's recordset is put on the record, its row
// becomes the grid's current and only selected row, and position is left on it; without one
// the grid stays where it was. The hourglass shows during the scan and the pointer is put back
// as it was. restart is cleared. Never throws: a failing step is skipped.
void FindInGrid(views::RecordGrid& grid, int32_t& position, const std::string& query, const std::string& searchText,
                bool& restart);

}  // namespace folders
