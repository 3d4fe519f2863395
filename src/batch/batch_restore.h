// `Archive --batch DATABASE.dbc --restore (--patients LIST | --where CONDITION)`: the restore
// (archive/restore_run.h) from the command line, without a display. --where is a condition on
// the archive's IdentFil. The pre-flight sheet is printed on standard error and the run goes
// on (there is nobody to ask); the closing text and the rows moved go to standard output.
// Exit status as for batch archiving.
#pragma once

#include "batch/batch_options.h"

namespace batch {

int RunBatchRestore(const BatchOptions& options);

}  // namespace batch
