#include "tips/rtf_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tips {
namespace {

// Code page 1252 for 0x80..0x9F; every other byte is its Latin-1 code point.
constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Destinations whose content is never shown.
const std::unordered_set<std::string>& HiddenDestinations() {
    static const std::unordered_set<std::string> kWords = {"fonttbl",
                                                           "colortbl",
                                                           "stylesheet",
                                                           "info",
                                                           "pict",
                                                           "object",
                                                           "header",
                                                           "headerl",
                                                           "headerr",
                                                           "headerf",
                                                           "footer",
                                                           "footerl",
                                                           "footerr",
                                                           "footerf",
                                                           "footnote",
                                                           "themedata",
                                                           "colorschememapping",
                                                           "datastore",
                                                           "latentstyles",
                                                           "listtable",
                                                           "listoverridetable",
                                                           "rsidtbl",
                                                           "generator",
                                                           "xmlnstbl",
                                                           "filetbl",
                                                           "revtbl",
                                                           "fldinst",
                                                           "mmathPr"};
    return kWords;
}

// Control words that stand for one character.
const std::unordered_map<std::string, char16_t>& CharacterWords() {
    static const std::unordered_map<std::string, char16_t> kWords = {
        {"par", u'\n'},        {"line", u'\n'},       {"sect", u'\n'},    {"page", u'\n'},
        {"row", u'\n'},        {"tab", u'\t'},        {"cell", u'\t'},    {"emdash", 0x2014},
        {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018}, {"rquote", 0x2019},
        {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", u' '},  {"enspace", u' '}};
    return kWords;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    explicit Reader(std::string_view rtf) : m_in(rtf) {}

    QString Run() {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
            switch (c) {
                case '{': m_groups.push_back(m_state); break;
                case '}':
                    if (!m_groups.empty()) {
                        m_state = m_groups.back();
                        m_groups.pop_back();
                    }
                    m_pendingFallback = 0;
                    break;
                case '\\': ControlSymbolOrWord(); break;
                case '\r':
                case '\n': break;
                default: Emit(Cp1252ToUnicode(static_cast<unsigned char>(c)), true); break;
            }
        }
        return m_out;
    }

private:
    struct State {
        bool hidden = false;
        int fallbackCount = 1;  // characters that follow a \uN for readers without Unicode
    };

    // Appends a character unless the group is hidden; a fallback character after \uN is
    // dropped instead.
    void Emit(QChar ch, bool countsAsFallback) {
        if (countsAsFallback && m_pendingFallback > 0) {
            --m_pendingFallback;
            return;
        }
        if (!m_state.hidden) m_out.append(ch);
    }

    void ControlSymbolOrWord() {
        if (m_pos >= m_in.size()) return;
        const char c = m_in[m_pos];
        if (std::isalpha(static_cast<unsigned char>(c))) {
            ControlWord();
            return;
        }
        ++m_pos;
        switch (c) {
            case '\\':
            case '{':
            case '}': Emit(QChar(c), true); break;
            case '\'': {
                const int hi = m_pos < m_in.size() ? HexValue(m_in[m_pos]) : -1;
                const int lo = m_pos + 1 < m_in.size() ? HexValue(m_in[m_pos + 1]) : -1;
                if (hi < 0 || lo < 0) break;
                m_pos += 2;
                Emit(Cp1252ToUnicode(static_cast<unsigned char>(hi * 16 + lo)), true);
                break;
            }
            case '~': Emit(QChar(0x00A0), true); break;
            case '_': Emit(QChar(0x2011), true); break;
            case '*': m_state.hidden = true; break;
            case '\r':
            case '\n': Emit(QChar(u'\n'), false); break;
            default: break;  // \- optional hyphen and unknown symbols show nothing
        }
    }

    void ControlWord() {
        std::string word;
        while (m_pos < m_in.size() && std::isalpha(static_cast<unsigned char>(m_in[m_pos]))) word += m_in[m_pos++];
        bool hasParam = false;
        bool negative = false;
        long param = 0;
        if (m_pos < m_in.size() && m_in[m_pos] == '-') {
            negative = true;
            ++m_pos;
        }
        while (m_pos < m_in.size() && std::isdigit(static_cast<unsigned char>(m_in[m_pos]))) {
            hasParam = true;
            if (param < 10'000'000) param = param * 10 + (m_in[m_pos] - '0');
            ++m_pos;
        }
        if (negative) param = -param;
        if (m_pos < m_in.size() && m_in[m_pos] == ' ') ++m_pos;  // the delimiting blank belongs to the word

        if (word == "u" && hasParam) {
            const auto unit = static_cast<char16_t>(param < 0 ? param + 65536 : param);
            Emit(QChar(unit), false);
            m_pendingFallback = m_state.fallbackCount;
        } else if (word == "uc" && hasParam) {
            m_state.fallbackCount = static_cast<int>(std::max(0L, param));
        } else if (word == "bin" && hasParam) {
            m_pos += static_cast<size_t>(std::max(0L, param));
        } else if (HiddenDestinations().count(word)) {
            m_state.hidden = true;
        } else if (auto it = CharacterWords().find(word); it != CharacterWords().end()) {
            Emit(QChar(it->second), false);
        }
    }

    std::string_view m_in;
    size_t m_pos = 0;
    State m_state;
    std::vector<State> m_groups;
    int m_pendingFallback = 0;
    QString m_out;
};

}  // namespace

QChar Cp1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return QChar(kCp1252High[byte - 0x80]);
    return QChar(static_cast<char16_t>(byte));
}

QString RtfToPlainText(std::string_view rtf) {
    if (rtf.substr(0, 5) != "{\\rtf") {
        QString text;
        text.reserve(static_cast<qsizetype>(rtf.size()));
        for (const char c : rtf) text.append(Cp1252ToUnicode(static_cast<unsigned char>(c)));
        return text;
    }
    return Reader(rtf).Run();
}

}  // namespace tips
