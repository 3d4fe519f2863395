#include "views/text_collation.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <unordered_map>

namespace views {

namespace {

QCollator MakeCollator() {
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    return collator;
}

const QCollator& Collator() {
    static const QCollator collator = MakeCollator();
    return collator;
}

}  // namespace

std::vector<int> CollationRanks(const std::vector<const std::string*>& texts) {
    // Each distinct text is keyed once; the rows then compare small integers.
    std::unordered_map<std::string_view, int> distinct;
    std::vector<std::string_view> unique;
    for (const std::string* text : texts) {
        if (distinct.emplace(*text, static_cast<int>(unique.size())).second) unique.emplace_back(*text);
    }
    std::vector<QCollatorSortKey> keys;
    keys.reserve(unique.size());
    for (std::string_view text : unique) {
        keys.push_back(Collator().sortKey(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))));
    }
    std::vector<int> order(unique.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<int> rankOfUnique(unique.size());
    int rank = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || keys[order[i - 1]].compare(keys[order[i]]) != 0) ++rank;
        rankOfUnique[order[i]] = rank;
    }
    std::vector<int> ranks;
    ranks.reserve(texts.size());
    for (const std::string* text : texts) ranks.push_back(rankOfUnique[distinct.at(*text)]);
    return ranks;
}

int CollateTexts(const std::string& a, const std::string& b) {
    const int c = Collator().compare(QString::fromStdString(a), QString::fromStdString(b));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace views
