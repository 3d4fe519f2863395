// FindItem: the item object a caller hands the find dialog. The dialog reads Text to prefill
// its look-for text, writes the chosen record's Text and Value into it (a code, a joined key
// or the record's bookmark, by kind), and saves and puts back State. Plain data; no Qt.
#pragma once

#include <cstdint>
#include <utility>

#include "engine/value.h"

namespace folders {

class FindItem {
public:
    // The item's display text (text, or null while it has none).
    const engine::Value& Text() const { return m_text; }
    void SetText(engine::Value text) { m_text = std::move(text); }
    // The item's key value.
    const engine::Value& Value() const { return m_value; }
    void SetValue(engine::Value value) { m_value = std::move(value); }
    // Only saved and put back by the dialog.
    int32_t State() const { return m_state; }
    void SetState(int32_t state) { m_state = state; }

private:
    engine::Value m_text;
    engine::Value m_value;
    int32_t m_state = 0;
};

}  // namespace folders
