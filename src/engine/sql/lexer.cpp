#include "engine/sql/lexer.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/sql/sql_errors.h"

namespace engine::sql {

void ThrowSyntax(const std::string& what, const std::string& near, size_t pos) {
    throw Error(engine::err::kSyntax,
                "Syntax error near '" + near + "' at position " + std::to_string(pos + 1) + ": " + what);
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

namespace {

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || std::isdigit(static_cast<unsigned char>(c)); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the digits of a {^...} literal: numbers separated by any non-digit characters, plus
// an AM/PM marker. Forms: {^yyyy-mm-dd}, {^yyyy-mm-dd hh:mm[:ss] [AM|PM]}, {^yyyy-mm-ddThh:mm:ss}.
// {} and {//} are the empty date, {// ::} and {:} the empty date-time.
Value ParseDateLiteral(std::string_view body, size_t pos) {
    auto invalid = [&]() -> Value {
        throw Error(err::kInvalidDate, "Date/Datetime evaluated to an invalid value: {" + std::string(body) +
                                           "} at position " + std::to_string(pos + 1));
    };
    bool hasDigit = false;
    for (char c : body) hasDigit |= IsDigit(c);
    if (!hasDigit) {
        for (char c : body) {
            if (c != ' ' && c != '/' && c != '-' && c != '.' && c != ':' && c != '^') return invalid();
        }
        if (body.find(':') != std::string_view::npos) return Value(DateTime{});
        return Value(Date{});
    }
    size_t i = 0;
    while (i < body.size() && body[i] == ' ') ++i;
    if (i >= body.size() || body[i] != '^') return invalid();
    ++i;
    std::vector<int> parts;
    bool pm = false, am = false;
    while (i < body.size()) {
        if (IsDigit(body[i])) {
            // At most four digits a number; a longer run is refused before it can overflow.
            int n = 0;
            const size_t start = i;
            while (i < body.size() && IsDigit(body[i])) {
                if (i - start == 4) return invalid();
                n = n * 10 + (body[i++] - '0');
            }
            parts.push_back(n);
        } else if (std::toupper(static_cast<unsigned char>(body[i])) == 'P' ||
                   std::toupper(static_cast<unsigned char>(body[i])) == 'A') {
            (std::toupper(static_cast<unsigned char>(body[i])) == 'P' ? pm : am) = true;
            ++i;
            if (i < body.size() && std::toupper(static_cast<unsigned char>(body[i])) == 'M') ++i;
        } else if (body[i] == ' ' || body[i] == '-' || body[i] == '/' || body[i] == '.' || body[i] == ':' ||
                   body[i] == 'T' || body[i] == 't' || body[i] == ',') {
            ++i;
        } else {
            return invalid();
        }
    }
    if (parts.size() != 3 && (parts.size() < 5 || parts.size() > 6)) return invalid();
    const int year = parts[0], month = parts[1], day = parts[2];
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31) return invalid();
    const int32_t jd = JulianDayFromYmd(year, month, day);
    int y, m, d;
    YmdFromJulianDay(jd, y, m, d);
    if (y != year || m != month || d != day) return invalid();
    if (parts.size() == 3) {
        if (am || pm) return invalid();
        return Value(Date{jd});
    }
    int hour = parts[3];
    const int minute = parts[4];
    const int second = parts.size() > 5 ? parts[5] : 0;
    if (am || pm) {
        if (hour < 1 || hour > 12) return invalid();
        if (hour == 12) hour = 0;
        if (pm) hour += 12;
    }
    if (hour > 23 || minute > 59 || second > 59) return invalid();
    return Value(DateTime{jd, ((hour * 60 + minute) * 60 + second) * 1000});
}

// .T. .F. .Y. .N. .NULL. .AND. .OR. .NOT. at text[i] ('.' included); false when none stands there.
bool ReadDottedWord(std::string_view text, size_t i, Token& token, size_t& length) {
    size_t j = i + 1;
    while (j < text.size() && std::isalpha(static_cast<unsigned char>(text[j]))) ++j;
    if (j >= text.size() || text[j] != '.' || j == i + 1) return false;
    const std::string word = UpperAscii(text.substr(i + 1, j - i - 1));
    length = j + 1 - i;
    if (word == "T" || word == "Y") {
        token.kind = TokenKind::kLiteral;
        token.value = true;
    } else if (word == "F" || word == "N") {
        token.kind = TokenKind::kLiteral;
        token.value = false;
    } else if (word == "NULL") {
        token.kind = TokenKind::kLiteral;
        token.value = Value();
    } else if (word == "AND" || word == "OR" || word == "NOT") {
        token.kind = TokenKind::kSymbol;
        token.text = word;
    } else {
        return false;
    }
    token.text = token.kind == TokenKind::kSymbol ? word : std::string(text.substr(i, length));
    return true;
}

void ReadNumber(std::string_view text, size_t& i, Token& token) {
    const size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    bool isDouble = false;
    if (i < text.size() && text[i] == '.' &&
        (i + 1 >= text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 1])))) {
        isDouble = true;
        ++i;
        const size_t fraction = i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        token.decimals = static_cast<int>(i - fraction);
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            isDouble = true;
            i = j;
            while (i < text.size() && IsDigit(text[i])) ++i;
        }
    }
    token.kind = TokenKind::kNumber;
    token.text = std::string(text.substr(start, i - start));
    if (!isDouble) {
        int64_t n = 0;
        auto [ptr, ec] = std::from_chars(token.text.data(), token.text.data() + token.text.size(), n);
        if (ec == std::errc()) {
            token.value = n;
            return;
        }
    }
    // Digits a double cannot hold exactly are kept as decimal text.
    if (token.text.find_first_of("eE") == std::string::npos) {
        if (auto exact = NumberFromDecimalText(token.text); exact && exact->Is<Decimal>()) {
            token.value = *exact;
            return;
        }
    }
    // A number past the largest double is refused; one too small to tell from zero is zero.
    errno = 0;
    const double value = std::strtod(token.text.c_str(), nullptr);
    if (errno == ERANGE && std::isinf(value))
        throw Error(engine::err::kValueTooLarge, "Numeric overflow: the number '" + token.text + "' at position " +
                                                     std::to_string(start + 1) + " is too large.");
    token.value = value;
}

}  // namespace

std::vector<Token> Tokenize(std::string_view text) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (true) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        // Comments run to the end of the line: && anywhere, * at the start of a line that
        // begins a statement (elsewhere * multiplies or stands for all fields).
        const bool statementStart =
            tokens.empty() || (tokens.back().kind == TokenKind::kSymbol && tokens.back().text == ";");
        const bool lineStart = i == 0 || text.find_last_not_of(" \t", i - 1) == std::string_view::npos ||
                               text[text.find_last_not_of(" \t", i - 1)] == '\n';
        if ((i + 1 < text.size() && text[i] == '&' && text[i + 1] == '&') ||
            (i < text.size() && text[i] == '*' && statementStart && lineStart)) {
            while (i < text.size() && text[i] != '\n') ++i;
            continue;
        }
        Token token;
        token.pos = i;
        if (i >= text.size()) {
            tokens.push_back(std::move(token));
            return tokens;
        }
        const char c = text[i];
        if (IsNameStart(c)) {
            const size_t start = i;
            while (i < text.size() && IsNameChar(text[i])) ++i;
            token.kind = TokenKind::kName;
            token.text = std::string(text.substr(start, i - start));
        } else if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
            ReadNumber(text, i, token);
        } else if (c == '\'' || c == '"') {
            // A doubled delimiter inside the string stands for one delimiter character.
            token.kind = TokenKind::kString;
            token.quote = c;
            ++i;
            while (true) {
                if (i >= text.size())
                    throw Error(engine::err::kSyntax, "Unterminated string starting at position " +
                                                          std::to_string(token.pos + 1) + ": missing " + c);
                if (text[i] == c) {
                    if (i + 1 < text.size() && text[i + 1] == c) {
                        token.text += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text += text[i++];
            }
        } else if (c == '[') {
            const size_t close = text.find(']', i + 1);
            if (close == std::string_view::npos)
                throw Error(engine::err::kSyntax,
                            "Unterminated [ starting at position " + std::to_string(token.pos + 1) + ": missing ]");
            token.kind = TokenKind::kBracket;
            token.text = std::string(text.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '{') {
            const size_t close = text.find('}', i + 1);
            if (close == std::string_view::npos)
                throw Error(engine::err::kSyntax, "Unterminated date literal starting at position " +
                                                      std::to_string(token.pos + 1) + ": missing }");
            token.kind = TokenKind::kLiteral;
            token.value = ParseDateLiteral(text.substr(i + 1, close - i - 1), token.pos);
            token.text = std::string(text.substr(i, close + 1 - i));
            i = close + 1;
        } else if (size_t length = 0; c == '.' && ReadDottedWord(text, i, token, length)) {
            i += length;
        } else {
            static constexpr std::string_view kTwo[] = {"==", "<>", "!=", "<=", ">=", "**"};
            static constexpr std::string_view kOne = "=<>#+-*/%^(),;.$!";
            token.kind = TokenKind::kSymbol;
            for (std::string_view two : kTwo) {
                if (text.substr(i, 2) == two) token.text = std::string(two);
            }
            if (token.text.empty()) {
                if (kOne.find(c) == std::string_view::npos) ThrowSyntax("unexpected character", std::string(1, c), i);
                token.text = std::string(1, c);
            }
            i += token.text.size();
        }
        tokens.push_back(std::move(token));
    }
}

}  // namespace engine::sql
