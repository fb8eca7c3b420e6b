// The program's SQL dialect, translated to SQLite on tokens.
//
// The translation never looks at raw text: a value or a quoted name that
// happens to contain "index" or "match" stays as it is.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vkdb {

// The column that holds a row's OID in every table the engine creates: an INTEGER PRIMARY KEY,
// so that SQLite keeps it through `vacuum` (a plain rowid may be renumbered). The engine leaves
// it out of `select *`, the catalogs and column lists, so the program never sees it.
constexpr const char *OidColumn = "_vk_oid";

struct Token
{
    enum Kind
    {
        Space,
        Ident,
        QuotedIdent,
        String,
        Number,
        Param,
        Punct
    };
    Kind kind;
    std::string text;
};

// Splits a statement into tokens; whitespace and comments are kept as Space tokens,
// so joining every token's text gives the statement back.
std::vector<Token> tokenize(const std::string &sql);

// Column types of the dialect that SQLite stores differently.
struct ColumnSpec
{
    std::string name;
    bool isFile = false;
    bool isSerial = false;
};

struct Translation
{
    enum Kind
    {
        Plain,          // sql runs as it is
        Insert,         // sql runs; the engine supplies the new row's OID
        CreateTable,    // sql creates `table`; the engine then installs its file-object triggers
        AlterAdd,       // sql adds `columns[0]` to `table`
        DropTable,      // the engine releases the table's file objects, then runs sql
        Commit,         // "commit": make the work so far durable
        Rollback,       // "rollback"
        MoveFileObject, // "move file object 'from' to 'to'"
    };
    Kind kind = Plain;
    std::string sql;
    std::string table;
    std::vector<ColumnSpec> columns;
    std::string moveFrom, moveTo; // both empty when they are given as two `?` values
    int paramCount = 0;
    bool needsColumnList = false; // an INSERT without a column list: the engine completes it
    std::string error;            // not empty: the text cannot be run
    bool manyStatements = false;  // the error is that the text holds more than one statement
    bool frees = false;           // a delete or a drop: it frees space rather than taking it
};

// Translates one statement. `columnsOf` answers the column names of a table, for an
// INSERT written without a column list.
Translation translate(const std::string &sql);

// Completes an "insert into T values (...)" with T's column list.
std::string completeInsert(const std::string &sql, const std::vector<std::string> &columns);

// What expandStars needs to know of a name in a FROM list.
struct TableColumns
{
    bool hasOidColumn = false;        // a table of the engine's, with the hidden OID column
    std::vector<std::string> visible; // its columns in order, the OID column left out
};

// Writes out `*` and `T.*` in select lists over tables that hold the hidden OID column, so
// that a query shows the columns the program made and nothing else. Answers the text
// unchanged (and `expanded` false) when no such star is found.
std::string expandStars(const std::string &sql,
                        const std::function<TableColumns(const std::string &table)> &columnsOf,
                        bool &expanded);

std::string quoteLiteral(const std::string &text);
std::string quoteIdentifier(const std::string &name);

} // namespace vkdb
