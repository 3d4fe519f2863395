// What the find dialog writes into its item for a chosen record, by kind: the Text and Value
// read from the record the recordset stands on, and the empty forms written when no record is
// chosen. No Qt.
//
//   kind                    Text                                    Value
//   1 Patients              LastNam, FirstNam (trimmed)             the record's bookmark
//   2 Referral Sources      Ref_Last, Ref_First (trimmed)           the record's bookmark
//   3 Doctors               Name, FirstName (trimmed)               Doc
//   4 Hospitals             the ItemValueFieldName field            Hsp
//   7 Place of Service      newchar; newnum; oldchar; oldnum; User1 the record's bookmark
//   8, 25 Insurance         the ItemValueFieldName field            InsNum:CorpName:Rec_Code2:Ins_Type:Sub_Code
//   every other number      the ItemValueFieldName field            the record's bookmark
//
// Single fields come as the record holds them (fixed-width text keeps its trailing blanks);
// in joined texts a null field gives nothing. Empty forms: place of service ";;;;" and -1,
// insurance carriers "" and "::::", every other kind "" and -1.
#pragma once

#include <cstdint>
#include <string>

#include "engine/value.h"

namespace engine::api {
class Recordset;
}  // namespace engine::api

namespace folders {

struct ItemValues {
    engine::Value Text;
    engine::Value Value;
};

// The values of the record the recordset stands on. Throws engine::Error when the recordset
// stands on no record or the record lacks a field that the kind needs.
ItemValues SelectedItemValues(int32_t folderId, engine::api::Recordset& record, const std::string& itemValueFieldName);

// The values written when no record is chosen.
ItemValues EmptyItemValues(int32_t folderId);

// A value as text: text as stored, whole numbers without decimals, null as nothing, other
// kinds in their grid form.
std::string ValueAsText(const engine::Value& value);

}  // namespace folders
