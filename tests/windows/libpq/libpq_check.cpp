// The Windows build's own libpq, linked as the team store links it, under Wine: it reports its
// version, a refused connection gives the reason, TLS is refused as not built in, and with a
// server given in IGNIVEX_TEST_PG_URL (./test --windows starts one) a query is answered.
#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static int failures = 0;

static void check(bool ok, const char* what, const char* detail)
{
    const bool said = detail != nullptr && *detail != '\0';
    std::printf("%s: %s%s%s\n", ok ? "PASS" : "FAIL", what, said ? ": " : "", said ? detail : "");
    failures += ok ? 0 : 1;
}

int main()
{
    // Debian's source package is 15.x: 150000 and up, below 160000.
    const int version = PQlibVersion();
    check(version >= 150000 && version < 160000, "libpq 15", std::to_string(version).c_str());

    PGconn* refused = PQconnectdb("postgresql://x@127.0.0.1:1/db");
    check(PQstatus(refused) == CONNECTION_BAD
              && std::strstr(PQerrorMessage(refused), "127.0.0.1") != nullptr,
          "a refused connection names the server", PQerrorMessage(refused));
    PQfinish(refused);

    PGconn* tls = PQconnectdb("postgresql://x@127.0.0.1:1/db?sslmode=require");
    check(PQstatus(tls) == CONNECTION_BAD
              && std::strstr(PQerrorMessage(tls), "SSL support is not compiled in") != nullptr,
          "sslmode=require is refused", PQerrorMessage(tls));
    PQfinish(tls);

    const char* url = std::getenv("IGNIVEX_TEST_PG_URL");
    if (url == nullptr || *url == '\0') {
        std::printf("SKIP: select 1 (no server in IGNIVEX_TEST_PG_URL)\n");
        return failures == 0 ? 0 : 1;
    }
    PGconn* conn = PQconnectdb(url);
    check(PQstatus(conn) == CONNECTION_OK, url, PQerrorMessage(conn));
    PGresult* res = PQexec(conn, "select 1");
    const bool one = PQresultStatus(res) == PGRES_TUPLES_OK && PQntuples(res) == 1
                     && std::strcmp(PQgetvalue(res, 0, 0), "1") == 0;
    check(one, "select 1", PQerrorMessage(conn));
    PQclear(res);
    PQfinish(conn);
    return failures == 0 ? 0 : 1;
}
