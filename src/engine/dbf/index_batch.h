// IndexBatch: keeps a table's structural-index pages in memory for a run of index changes
// made under one hold of the table's write lock (or exclusive use), so that records written
// together read and write each index page once (cdx::IndexFile batches). Finish writes the
// held pages; when the run ends by an error the destructor writes them as far as it can and
// a page that cannot be written leaves the index marked damaged, as a failed change does.
#pragma once

#include "table_state.h"

namespace engine::dbf {

class IndexBatch {
public:
    explicit IndexBatch(TableState& st) : m_st(st), m_on(st.index != nullptr) {
        if (m_on) st.index->BeginBatch();
    }
    ~IndexBatch() {
        if (!m_on) return;
        try {
            m_st.index->EndBatch();
        } catch (...) {
            m_st.indexDamaged = true;
        }
    }
    // Writes the held pages; a failure marks the index damaged and is passed up.
    void Finish() {
        if (!m_on) return;
        m_on = false;
        m_st.ChangeIndex([&] { m_st.index->EndBatch(); });
    }
    IndexBatch(const IndexBatch&) = delete;
    IndexBatch& operator=(const IndexBatch&) = delete;

private:
    TableState& m_st;
    bool m_on;
};

}  // namespace engine::dbf
