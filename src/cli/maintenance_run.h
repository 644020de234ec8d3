#pragma once
// Running a purge or count of one database from the command line: the
// engine's run driven in a loop under the progress bar, and its result
// printed. Shared by `purge` and `count`.

#include "archive/records.h"
#include "archive/session.h"
#include "cli/command.h"
#include "maintenance/purge_run.h"

namespace qb::cli {

// Runs the purge or count of database `db` (made current). Exit code: 0
// done; 1 stopped (a failed write, too little disk space, the question about
// removing a marked database answered no); 2 the run could not start.
int runMaintenance(const GlobalOptions& g, store::Session& s, const store::Forums& db,
                   maintenance::PurgeOptions options, const char* command);

}  // namespace qb::cli
