#include "plant_server.h"

#include "pg_rows.h"

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
	return PgRows(conninfo, sql);
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
