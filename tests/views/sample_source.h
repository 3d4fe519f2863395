// Small patient rows for the grid tests, shaped like the patient grid's SELECT.
#pragma once

#include <memory>

#include "views/grid_view_model.h"
#include "views/memory_record_source.h"

namespace views_test {

// Fields PtNum, LastNam, FirstNam, MI, Title1, HomPhone, BusPhone, SSN, Birthday, Initial.
// Eight patients; last names Baker (2), Adams (3), Clark (1), Baker... see the .cpp.
std::shared_ptr<views::MemoryRecordSource> SamplePatients();
// Gives the grid the patient columns (Index 1..9 as in the patient layout, plus "Initial").
void AddPatientColumns(views::GridViewModel& grid);

}  // namespace views_test
