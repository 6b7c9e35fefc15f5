// What a query of the plant's database returns, as text a test compares.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>

// The rows, one a line, their columns joined by '|' ("" for NULL).
inline std::string PgRows(const std::string &conninfo, const std::string &sql)
{
	std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(conninfo.c_str()), PQfinish);
	std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn.get(), sql.c_str()), PQclear);
	if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
		return std::string("error: ") + PQresultErrorMessage(result.get());
	std::string text;
	for (int row = 0; row < PQntuples(result.get()); row++) {
		text += row ? "\n" : "";
		for (int column = 0; column < PQnfields(result.get()); column++)
			text += (column ? "|" : "") + std::string(PQgetvalue(result.get(), row, column));
	}
	return text;
}
