#pragma once
// PostgreSQL for the benchmarks that need it: a throw-away cluster of
// pg_virtualenv when none is named, and a schema of the benchmark's own.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "server/pg_connection.h"

namespace bench {

// Runs this program again inside pg_virtualenv unless PGHOST or
// WYC_TEST_POSTGRES names a database; returns only when one does.
inline void needPostgres(int argc, char** argv) {
    if (std::getenv("PGHOST") || std::getenv("WYC_TEST_POSTGRES")) return;
    std::vector<char*> args{const_cast<char*>("pg_virtualenv")};
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp("pg_virtualenv", args.data());
    std::fprintf(stderr, "%s: needs PostgreSQL: run it under pg_virtualenv\n", argv[0]);
    std::exit(1);
}

// The named database, as a libpq URI.
inline std::string postgresBase() {
    const char* given = std::getenv("WYC_TEST_POSTGRES");
    return given && *given ? given : "postgresql://";
}

// Makes the schema afresh; the URI whose connections use it.
inline std::string freshSchema(const std::string& schema) {
    const std::string base = postgresBase();
    wycserver::PgConnection(base).run("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    wycserver::PgConnection(base).run("CREATE SCHEMA " + schema);
    return base + (base.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
           schema;
}

inline void dropSchema(const std::string& schema) {
    wycserver::PgConnection(postgresBase()).run("DROP SCHEMA " + schema + " CASCADE");
}

} // namespace bench
