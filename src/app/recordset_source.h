// The record grid's adapter over a database recordset, under the names the window code has
// always used; the adapter itself lives with the grid (views/recordset_source.h), so that the
// find dialog binds its grid the same way.
#pragma once

#include "views/recordset_source.h"

namespace app {

using views::RecordsetOf;
using views::RecordsetSource;

}  // namespace app
