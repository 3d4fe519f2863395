// A patient's table copy holds each row once: the check of the copies must still see every
// source value as it was read, also where the copy stored something else (a null left
// unassigned, a value converted for the target field), row after row.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/patient_copy.h"
#include "engine/sql/table_access.h"

namespace {

using engine::Value;

engine::sql::FieldInfo Field(std::string name, char type, int length) {
    engine::sql::FieldInfo field;
    field.name = std::move(name);
    field.type = type;
    field.length = length;
    return field;
}

TEST(CopiedTable, TheCheckSeesTheSourceValuesWhateverTheCopyStored) {
    // Target record: Note (C), Amount (I), Name (C); the copied fields come in source order.
    const std::vector<engine::sql::FieldInfo> target = {Field("Note", 'C', 20), Field("Amount", 'I', 4),
                                                        Field("Name", 'C', 10)};
    auto fields = std::make_shared<app::CopiedFields>();
    fields->names = {"Name", "Amount", "Note"};
    fields->places = {2, 1, 0};
    app::CopiedTable copied;
    copied.fields = fields;

    struct Source {
        std::optional<Value> name, amount, note;
    };
    const std::vector<Source> rows = {
        {Value(std::string("Ames")), Value(int64_t{7}), Value(std::string("kept"))},  // stored as read
        {Value(std::string("Bell")), Value(2.0), std::nullopt},  // 2.0 stored as 2; no note assigned
        {std::nullopt, Value(int64_t{9}), Value(std::string("third"))},
    };
    for (const Source& row : rows) {
        std::vector<Value> record(target.size());
        copied.Assign(0, row.name, record, target[2]);
        copied.Assign(1, row.amount, record, target[1]);
        copied.Assign(2, row.note, record, target[0]);
        copied.records.push_back(std::move(record));
    }

    ASSERT_EQ(copied.Rows(), 3u);
    EXPECT_EQ(copied.records[1][1], Value(int64_t{2}));  // what is written: converted
    for (size_t r = 0; r < rows.size(); ++r) {
        const std::optional<Value>* source[] = {&rows[r].name, &rows[r].amount, &rows[r].note};
        for (size_t f = 0; f < 3; ++f) {
            const Value* seen = copied.SourceValue(r, f);
            if (!*source[f]) {
                EXPECT_EQ(seen, nullptr) << "row " << r << " field " << f;
                continue;
            }
            ASSERT_NE(seen, nullptr) << "row " << r << " field " << f;
            EXPECT_EQ(*seen, **source[f]) << "row " << r << " field " << f;
        }
    }
    // Only what the record does not hold as read is kept apart.
    EXPECT_EQ(copied.departures.size(), 3u);
}

}  // namespace
