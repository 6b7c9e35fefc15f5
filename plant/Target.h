// Where records go or come from: a JSON Lines file, or a PostgreSQL
// database named as libpq names one (postgresql:// or postgres:// URI, or
// key=value connection string).
#pragma once

#include <string>

namespace plant {

// A postgresql:// or postgres:// URI, or a string libpq parses as
// key=value pairs ("host=db dbname=velmora"). Anything else is a file; a
// file whose name would read as key=value is given as ./NAME.
bool IsDatabaseTarget(const std::string &target);

// Empty when libpq accepts target and it carries no password, otherwise
// why not. A password on the command line stays in the shell's history and
// shows in every process list; libpq takes it from PGPASSFILE, ~/.pgpass or
// PGPASSWORD instead. The text never repeats the password.
std::string CheckDatabaseTarget(const std::string &target);

// "database velmora on db.plant:5432 as station": what a message names,
// never the password; defaults libpq would fill in are left out.
std::string DescribeDatabaseTarget(const std::string &target);

} // namespace plant
