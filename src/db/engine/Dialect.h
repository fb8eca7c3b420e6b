// The program's SQL dialect, translated to SQLite on tokens.
//
// The translation never looks at raw text: a value or a quoted name that
// happens to contain "index" or "match" stays as it is.
#pragma once

#include <string>
#include <vector>

namespace vkdb {

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
    std::string moveFrom, moveTo;
    int paramCount = 0;
    bool needsColumnList = false; // an INSERT without a column list: the engine completes it
    std::string error;            // not empty: the text cannot be run
};

// Translates one statement. `columnsOf` answers the column names of a table, for an
// INSERT written without a column list.
Translation translate(const std::string &sql);

// Completes an "insert into T values (...)" with T's column list.
std::string completeInsert(const std::string &sql, const std::vector<std::string> &columns);

std::string quoteLiteral(const std::string &text);
std::string quoteIdentifier(const std::string &name);

} // namespace vkdb
