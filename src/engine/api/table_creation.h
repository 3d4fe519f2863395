// engine::api::CreateTable: adds a new, empty table to the database an open connection works
// on. In a database container the table file is made beside the container and the table is
// entered in the container's table list (with its field names as the long names), so every
// connection, foxsql and other readers of the container find it by name; in a folder of free
// tables it is a free table file. Used where a program keeps a table of its own in a database
// that it did not design (the archive's run record).
//
// Throws engine::Error: err::kBadArgument when the database already has a table of that name
// (in the container's list, or as a file), err::kNotOpen on a closed connection, and whatever
// creating the files raises (err::kFileAccess naming the file and the system's reason).
// Not thread-safe; two processes adding the same table at once: one of them gets the error.
#pragma once

#include <string>
#include <vector>

#include "engine/api/connection.h"
#include "engine/dbf/table_header.h"

namespace engine::api {

// Creates the table name with fields in the connection's database. The file is the name in
// lower case with ".dbf"; memo fields get their .fpt beside it.
void CreateTable(Connection& connection, const std::string& name, const std::vector<FieldSpec>& fields);

}  // namespace engine::api
