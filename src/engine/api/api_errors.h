// Error numbers raised only by the connection and recordset API, beyond the shared list in
// engine/error.h.
#pragma once

namespace engine::api::err {
inline constexpr long kNotUpdatable = 3251;         // the recordset cannot be changed (computed columns)
inline constexpr long kConversion = 3421;           // a value cannot be converted to the field's type
inline constexpr long kForwardOnly = 3219;          // moving back or writing on a forward-only recordset
inline constexpr long kBadConnectionString = 3706;  // no database named, or an unknown source type
}  // namespace engine::api::err
