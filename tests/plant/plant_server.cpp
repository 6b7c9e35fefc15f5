#include "plant_server.h"

#include <libpq-fe.h>

#include <memory>

ScratchPostgres &Server()
{
	static ScratchPostgres server;
	static std::string why = server.Start();
	if (!why.empty())
		ADD_FAILURE() << "the scratch PostgreSQL server did not start: " << why;
	return server;
}

std::string NewDatabase()
{
	const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
	std::string name = std::string(test->test_suite_name()) + "_" + test->name();
	for (char &c : name)
		c = static_cast<char>(std::isalnum(static_cast<unsigned char>(c)) ? std::tolower(c) : '_');
	std::string why = Server().CreateDatabase(name);
	EXPECT_EQ(why, "");
	return name;
}

std::string Query(const std::string &conninfo, const std::string &sql)
{
	std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(conninfo.c_str()), PQfinish);
	std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn.get(), sql.c_str()), PQclear);
	if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
		return std::string("error: ") + PQresultErrorMessage(result.get());
	std::string text;
	for (int row = 0; row < PQntuples(result.get()); row++)
		text += (row ? "\n" : "") + std::string(PQgetvalue(result.get(), row, 0));
	return text;
}

plant::Record MakeRecord(const std::string &station, const char *unit, const char *time, const char *result)
{
	plant::Record r;
	r.id = plant::NewRecordId();
	r.time = *plant::ParseIsoUtc(time);
	r.version = "5.4";
	r.station = station;
	r.host = station;
	r.command = "program";
	if (unit)
		r.unit = unit;
	r.bus = "sim:0";
	r.busFound = "sim:0";
	r.file = "/srv/golden/kl310-a.qmx";
	r.sha256 = "aa11";
	r.pages = { 0, 1, 2, 3, 4, 5, 6, 7 };
	r.result = result;
	r.exitStatus = std::string(result) == "verified" ? 0 : std::string(result) == "mismatch" ? 5 : 4;
	return r;
}
