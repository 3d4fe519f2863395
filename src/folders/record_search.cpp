#include "folders/record_search.h"

#include <optional>
#include <utility>
#include <vector>

#include <QString>

#include "common/ui.h"
#include "engine/api/recordset.h"
#include "views/record_grid.h"
#include "views/recordset_source.h"
#include "views/value_text.h"

namespace folders {
namespace {

// Splits at every separator; two separators in a row give an empty word between them.
std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> words;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        words.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return words;
        start = at + 1;
    }
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Lower(const std::string& text) { return QString::fromStdString(text).toLower().toStdString(); }

std::string WithoutBrackets(std::string text) {
    std::erase(text, '[');
    std::erase(text, ']');
    return text;
}

// Words at blanks, a bracketed name counting as one word (without its brackets).
std::vector<std::string> BracketedWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inBrackets = false;
    for (const char c : text) {
        if (c == '[') inBrackets = true;
        else if (c == ']') inBrackets = false;
        else if (c == ' ' && !inBrackets) words.push_back(std::exchange(word, {}));
        else word.push_back(c);
    }
    words.push_back(word);
    return words;
}

// One field of a record as the search compares it: lower-cased text, or none for null.
class RecordReader {
public:
    explicit RecordReader(const views::RecordSource* source) : m_source(source) {}

    int FieldIndex(const std::string& name) const { return m_source ? m_source->FieldIndex(name) : -1; }
    std::optional<QString> Text(int sourceRow, int field) const {
        if (sourceRow < 0 || field < 0) return std::nullopt;
        const engine::Value value = m_source->Value(sourceRow, field);
        if (value.IsNull()) return std::nullopt;
        if (const std::string* text = value.If<std::string>()) return QString::fromStdString(*text).toLower();
        return QString::fromStdString(views::ValueText(value)).toLower();
    }

private:
    const views::RecordSource* m_source;
};

bool Prefix(const std::optional<QString>& value, const QString& text) {
    if (text.isEmpty()) return true;
    return value && value->startsWith(text);
}

bool Contains(const std::optional<QString>& value, const QString& text) {
    if (text.isEmpty()) return true;
    return value && value->contains(text);
}

// The plan with its fields looked up once, tested record by record.
class Matcher {
public:
    Matcher(const SearchPlan& plan, const RecordReader& reader)
        : m_plan(plan),
          m_reader(reader),
          m_field1(reader.FieldIndex(plan.field1)),
          m_field2(reader.FieldIndex(plan.field2)),
          m_text1(QString::fromStdString(plan.text1)),
          m_text2(QString::fromStdString(plan.text2)) {}

    bool Matches(int sourceRow) const {
        const auto field1 = [&] { return m_reader.Text(sourceRow, m_field1); };
        const auto field2 = [&] { return m_reader.Text(sourceRow, m_field2); };
        switch (m_plan.mode) {
            case SearchPlan::Mode::OneField: return Prefix(field1(), m_text1);
            case SearchPlan::Mode::Contains: return Contains(field1(), m_text1);
            case SearchPlan::Mode::And: return Prefix(field1(), m_text1) && Prefix(field2(), m_text2);
            case SearchPlan::Mode::Or:
                if (!m_text2.isEmpty()) return Prefix(field1(), m_text1) || Prefix(field2(), m_text2);
                return Prefix(field1(), m_text1) || Prefix(field2(), m_text1);
        }
        return false;
    }

private:
    const SearchPlan& m_plan;
    const RecordReader& m_reader;
    int m_field1, m_field2;
    QString m_text1, m_text2;
};

// Shows the hourglass for a scope and puts the pointer back as it was.
class Hourglass {
public:
    Hourglass() : m_wasBusy(ui::Current().BusyCursor()) {
        if (!m_wasBusy) ui::Current().SetBusyCursor(true);
    }
    ~Hourglass() {
        if (!m_wasBusy) ui::Current().SetBusyCursor(false);
    }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

private:
    bool m_wasBusy;
};

}  // namespace

void ParseCondition(const std::string& condition, std::string& field1, std::string& field2) {
    field2.clear();
    const size_t open = condition.find('[');
    if (open == std::string::npos) {
        const std::vector<std::string> words = SplitAt(condition, ' ');
        field1 = words[0];
        if (words.size() >= 5) field2 = words[4];
        return;
    }
    if (open != 0) {
        // A plain first name with a bracketed second one.
        const std::vector<std::string> words = BracketedWords(condition);
        field1 = words[0];
        if (words.size() >= 5) field2 = words[4];
        return;
    }
    const size_t close = condition.find(']', open + 1);
    if (close == std::string::npos) {
        field1 = condition.substr(open + 1);
        return;
    }
    field1 = condition.substr(open + 1, close - open - 1);
    const std::string rest = close + 2 <= condition.size() ? condition.substr(close + 2) : std::string();
    const std::vector<std::string> words = SplitAt(rest, ' ');
    std::string joined;
    for (size_t i = 3; i + 3 <= words.size(); ++i) joined += words[i] + " ";
    field2 = WithoutBrackets(Trim(joined));
}

SearchPlan PlanSearch(const std::string& query, const std::string& searchText) {
    SearchPlan plan;
    const std::string lowerQuery = Lower(query);
    const size_t andAt = lowerQuery.find(" and ");
    if (andAt != std::string::npos && andAt > 0) plan.mode = SearchPlan::Mode::And;
    else if (lowerQuery.find(" or ") != std::string::npos) plan.mode = SearchPlan::Mode::Or;
    else if (lowerQuery.find(" in ") != std::string::npos) plan.mode = SearchPlan::Mode::Contains;
    ParseCondition(query, plan.field1, plan.field2);

    const std::string text = Lower(searchText);
    if (plan.mode == SearchPlan::Mode::OneField || plan.mode == SearchPlan::Mode::Contains) {
        plan.text1 = Trim(text);
    } else if (plan.mode == SearchPlan::Mode::And &&
               (text.find(',') != std::string::npos || text.find(' ') == std::string::npos)) {
        const std::vector<std::string> parts = SplitAt(text, ',');
        if (parts.size() == 2) {
            plan.text2 = parts[0];
            plan.text1 = Trim(parts[1]);
        } else {
            // Only the second field is searched, as a one-field search.
            plan.mode = SearchPlan::Mode::OneField;
            plan.field1 = plan.field2;
            plan.field2.clear();
            plan.text1 = parts[0];
        }
    } else {
        const std::vector<std::string> parts = SplitAt(text, ' ');
        plan.text1 = parts[0];
        if (parts.size() == 2) plan.text2 = Trim(parts[1]);
    }
    return plan;
}

void FindInGrid(views::RecordGrid& grid, int32_t& position, const std::string& query, const std::string& searchText,
                bool& restart) {
    Hourglass hourglass;
    try {
        const std::shared_ptr<views::RecordSource> source = grid.BoundRecordset();
        const SearchPlan plan = PlanSearch(query, searchText);
        const RecordReader reader(source.get());
        const Matcher matcher(plan, reader);
        const int32_t rowCount = grid.RowCount();

        bool wrapped = restart;
        position = restart ? 1 : position + 1;
        if (position > rowCount || position < 1) {
            position = 1;
            wrapped = true;  // starting at the top already covers every row
        }
        std::optional<views::Bookmark> found;
        for (;;) {
            for (; position <= rowCount; ++position) {
                if (!grid.RowIsRecord(position)) continue;
                try {
                    const views::Bookmark bookmark = grid.RowBookmark(position);
                    const int sourceRow = source ? source->RowOfBookmark(bookmark) : -1;
                    if (sourceRow < 0) continue;
                    if (matcher.Matches(sourceRow)) {
                        found = bookmark;
                        break;
                    }
                } catch (...) {
                    // A row that cannot be read is passed over.
                }
            }
            if (found || wrapped) break;
            wrapped = true;
            position = 1;
        }
        if (found) {
            try {
                if (const auto recordset = views::RecordsetOf(source))
                    recordset->SetBookmark(static_cast<double>(*found));
            } catch (...) {
            }
            try {
                grid.MoveToBookmark(*found);
            } catch (...) {
            }
        }
    } catch (...) {
        // Nothing of the search reaches the caller.
    }
    restart = false;
}

}  // namespace folders
