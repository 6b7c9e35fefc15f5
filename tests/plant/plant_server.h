// One scratch PostgreSQL server for the whole plant test binary (initdb
// takes seconds), a new database for each test.
#pragma once

#include "Record.h"
#include "ScratchPostgres.h"

#include <gtest/gtest.h>

#include <string>

// Started at first use; a server that will not start fails the test.
ScratchPostgres &Server();

// A new database on it; its name is the current test's.
std::string NewDatabase();

// One SQL query's first column, rows joined by '\n' ("" for NULL).
std::string Query(const std::string &conninfo, const std::string &sql);

// A record of the fixed set: station, unit, time and result as given, the
// rest as a station of today writes it.
plant::Record MakeRecord(const std::string &station, const char *unit, const char *time, const char *result);
