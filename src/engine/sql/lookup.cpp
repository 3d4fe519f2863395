#include "engine/sql/lookup.h"

#include <algorithm>

namespace engine::sql {
namespace {

// Every "field = constant" (or "constant = field") among the AND-ed parts of the condition.
void CollectKeys(const Node* node, std::vector<std::pair<size_t, const Value*>>& keys) {
    if (!node || node->shape != Node::Shape::kBinary) return;
    const auto& b = static_cast<const BinaryNode&>(*node);
    if (b.op == Op::kAnd) {
        CollectKeys(b.left.get(), keys);
        CollectKeys(b.right.get(), keys);
        return;
    }
    if (b.op != Op::kEq && b.op != Op::kExactEq) return;
    const Node* field = b.left.get();
    const Node* constant = b.right.get();
    if (field->shape != Node::Shape::kField) std::swap(field, constant);
    if (field->shape != Node::Shape::kField || constant->shape != Node::Shape::kConstant) return;
    const Value& value = static_cast<const ConstantNode&>(*constant).value;
    if (value.IsNull()) return;
    keys.emplace_back(static_cast<const FieldNode&>(*field).index, &value);
}

}  // namespace

std::optional<std::vector<RecordNumber>> CandidateRecords(TableAccess& table, const Node* where) {
    std::vector<std::pair<size_t, const Value*>> keys;
    CollectKeys(where, keys);
    for (const auto& [field, value] : keys) {
        if (auto candidates = table.LookupEqual(field, *value)) {
            std::sort(candidates->begin(), candidates->end());
            candidates->erase(std::unique(candidates->begin(), candidates->end()), candidates->end());
            return candidates;
        }
    }
    return std::nullopt;
}

}  // namespace engine::sql
