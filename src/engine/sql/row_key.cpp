#include "engine/sql/row_key.h"

#include <cstring>

#include "engine/sql/value_ops.h"

namespace engine::sql {
namespace {

void AppendBytes(std::string& key, const void* data, size_t size) { key.append(static_cast<const char*>(data), size); }

void AppendSized(std::string& key, std::string_view bytes) {
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    AppendBytes(key, &size, sizeof size);
    key.append(bytes);
}

}  // namespace

void AppendKey(std::string& key, const Value& value) {
    if (value.IsNull()) {
        key += '\0';
    } else if (auto* b = value.If<bool>()) {
        key += '\1';
        key += *b ? '1' : '0';
    } else if (IsNumber(value)) {
        key += '\2';
        double d = ToDouble(value);
        if (d == 0) d = 0;  // -0 equals 0
        AppendBytes(key, &d, sizeof d);
    } else if (auto* s = value.If<std::string>()) {
        key += '\3';
        AppendSized(key, TrimRight(*s));
    } else if (auto* d = value.If<Date>()) {
        key += '\4';
        const int64_t moment = int64_t{d->julianDay} * 86'400'000;
        AppendBytes(key, &moment, sizeof moment);
    } else if (auto* t = value.If<DateTime>()) {
        key += '\4';
        const int64_t moment = int64_t{t->julianDay} * 86'400'000 + t->milliseconds;
        AppendBytes(key, &moment, sizeof moment);
    } else if (auto* bytes = value.If<Bytes>()) {
        key += '\5';
        AppendSized(key, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    }
}

std::string RowKey(const std::vector<Value>& values) {
    std::string key;
    for (const Value& v : values) AppendKey(key, v);
    return key;
}

}  // namespace engine::sql
