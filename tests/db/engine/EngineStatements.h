// Running statements through the engine's operations the way the program does, for the
// engine's tests.
#pragma once

#include "Engine.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>
#include <vector>

namespace vkdb::enginetest {

using Rows = std::vector<std::vector<std::string>>;

// A value for a `?`: a text (a plain string converts to one), null, or a file stored as a copy.
struct Param
{
    enum Kind
    {
        Text,
        Null,
        File
    } kind = Text;
    std::string value;

    Param(Kind k, std::string v) : kind(k), value(std::move(v)) {}
    Param(const char *v) : value(v) {}
    Param(std::string v) : value(std::move(v)) {}
};

inline Param text(const std::string &v)
{
    return {Param::Text, v};
}
inline Param null()
{
    return {Param::Null, {}};
}
inline Param file(const QString &path)
{
    return {Param::File, path.toStdString()};
}

// Runs one statement through the engine's operations the way the program does.
inline int run(DbConnection *c, const std::string &sql, const std::vector<Param> &params = {},
               Rows *rows = nullptr, std::string *oid = nullptr)
{
    DbStatement *st = nullptr;
    int rc = DbPrepare(c, sql, &st);
    if (rc == DbNeedParams) {
        for (const Param &p : params) {
            rc = p.kind == Param::File ? DbBindFile(st, p.value)
                                       : DbBindParam(st, p.value, p.kind == Param::Null ? -1 : -3);
            if (rc > 1 && rc != DbNeedParams) {
                DbFreeStmt(&st);
                return rc;
            }
        }
        rc = DbExecute(st, oid);
    }
    if (rc < 2 && rows) {
        rows->clear();
        std::vector<std::string> values;
        while ((rc = DbGetData(st, values)) < 2)
            rows->push_back(values);
        if (rc == DbNoMoreRows)
            rc = DbOk;
    }
    DbFreeStmt(&st);
    return rc;
}

inline Rows query(DbConnection *c, const std::string &sql, const std::vector<Param> &params = {})
{
    Rows rows;
    EXPECT_LT(run(c, sql, params, &rows), 2) << sql << ": " << DbErrorText();
    return rows;
}

inline std::string insert(DbConnection *c, const std::string &sql, const std::vector<Param> &params)
{
    std::string oid;
    EXPECT_LT(run(c, sql, params, nullptr, &oid), 2) << sql << ": " << DbErrorText();
    return oid;
}

inline std::string firstColumn(const Rows &rows)
{
    std::string out;
    for (const auto &r : rows)
        out += (out.empty() ? "" : "|") + (r.empty() ? std::string() : r[0]);
    return out;
}

// The first column of every row, joined by '|'.
inline std::string one(DbConnection *c, const std::string &sql, const std::vector<Param> &params = {})
{
    return firstColumn(query(c, sql, params));
}

} // namespace vkdb::enginetest
