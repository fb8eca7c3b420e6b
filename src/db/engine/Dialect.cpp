#include "Dialect.h"

#include "ConfigFile.h"

#include <cctype>

namespace vkdb {

namespace {

bool isIdentStart(unsigned char c)
{
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool isIdentChar(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

bool is(const Token &t, const char *word)
{
    return t.kind == Token::Ident && equalsIgnoreCase(t.text, word);
}

std::string unquoteIdentifier(const Token &t)
{
    if (t.kind != Token::QuotedIdent)
        return t.text;
    std::string inner = t.text.substr(1, t.text.size() - 2);
    const char q = t.text[0] == '[' ? ']' : t.text[0];
    std::string out;
    for (size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == q && i + 1 < inner.size() && inner[i + 1] == q)
            ++i;
    }
    return out;
}

std::string unquoteString(const std::string &s)
{
    std::string out;
    for (size_t i = 1; i + 1 < s.size(); ++i) {
        out += s[i];
        if (s[i] == '\'' && s[i + 1] == '\'')
            ++i;
    }
    return out;
}

// Indexes of the significant (non-space) tokens.
std::vector<size_t> significant(const std::vector<Token> &tokens)
{
    std::vector<size_t> idx;
    for (size_t i = 0; i < tokens.size(); ++i)
        if (tokens[i].kind != Token::Space)
            idx.push_back(i);
    return idx;
}

std::string join(const std::vector<Token> &tokens)
{
    std::string out;
    for (const Token &t : tokens)
        out += t.text;
    return out;
}

bool isHex(const std::string &s)
{
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return s.size() % 2 == 0;
}

// Words SQLite reserves that the program's schema uses as column names.
bool needsQuoting(const Token &t)
{
    return is(t, "index");
}

} // namespace

std::string quoteLiteral(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

std::string quoteIdentifier(const std::string &name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::vector<Token> tokenize(const std::string &sql)
{
    std::vector<Token> tokens;
    const size_t n = sql.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = sql[i];
        const size_t start = i;
        Token::Kind kind;
        if (std::isspace(c)) {
            while (i < n && std::isspace(static_cast<unsigned char>(sql[i])))
                ++i;
            kind = Token::Space;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            kind = Token::Space;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? n : end + 2;
            kind = Token::Space;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : char(c);
            ++i;
            while (i < n) {
                if (sql[i] == close) {
                    if (close != ']' && i + 1 < n && sql[i + 1] == close) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            kind = c == '\'' ? Token::String : Token::QuotedIdent;
        } else if (std::isdigit(c) ||
                   (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            while (i < n && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '.'))
                ++i;
            kind = Token::Number;
        } else if (isIdentStart(c)) {
            while (i < n && isIdentChar(static_cast<unsigned char>(sql[i])))
                ++i;
            kind = Token::Ident;
        } else if (c == '?') {
            ++i;
            while (i < n && std::isdigit(static_cast<unsigned char>(sql[i])))
                ++i;
            kind = Token::Param;
        } else {
            ++i;
            // Two-character operators stay one token so that a rewrite never splits them.
            if (i < n) {
                const char d = sql[i];
                if ((c == '<' && (d == '>' || d == '=' || d == '<')) ||
                    (c == '>' && (d == '=' || d == '>')) || (c == '!' && d == '=') ||
                    (c == '=' && d == '=') || (c == '|' && d == '|'))
                    ++i;
            }
            kind = Token::Punct;
        }
        tokens.push_back({kind, sql.substr(start, i - start)});
    }
    return tokens;
}

namespace {

// Translates the column definitions of a CREATE TABLE or ALTER TABLE ADD between
// tokens [from, to): `file` columns keep their paths and ids apart from numbers
// (no numeric affinity), `serial` columns are numbered by the engine.
void translateColumnDefs(std::vector<Token> &tokens, size_t from, size_t to, const std::string &table,
                         std::vector<ColumnSpec> &columns, bool *hasPrimaryKey = nullptr)
{
    int depth = 0;
    bool atDefStart = true;
    bool expectType = false;
    for (size_t i = from; i < to; ++i) {
        Token &t = tokens[i];
        if (t.kind == Token::Space)
            continue;
        if (t.kind == Token::Punct && t.text == "(") {
            ++depth;
            continue;
        }
        if (t.kind == Token::Punct && t.text == ")") {
            --depth;
            continue;
        }
        if (depth == 0 && t.kind == Token::Punct && t.text == ",") {
            atDefStart = true;
            expectType = false;
            continue;
        }
        if (depth != 0)
            continue;
        if (hasPrimaryKey && is(t, "primary"))
            *hasPrimaryKey = true;
        if (atDefStart) {
            atDefStart = false;
            if (is(t, "primary") || is(t, "unique") || is(t, "check") || is(t, "foreign") ||
                is(t, "constraint"))
                continue;
            columns.push_back({unquoteIdentifier(t), false, false});
            if (needsQuoting(t))
                t.text = quoteIdentifier(t.text);
            expectType = true;
            continue;
        }
        if (expectType) {
            expectType = false;
            if (is(t, "file")) {
                t.text += " blob";
                columns.back().isFile = true;
            } else if (is(t, "serial")) {
                t.text = "integer default (vk_serial(" + quoteLiteral(table) + "," +
                         quoteLiteral(columns.back().name) + "))";
                columns.back().isSerial = true;
            }
        }
    }
}

} // namespace

Translation translate(const std::string &sql)
{
    Translation tr;
    std::vector<Token> tokens = tokenize(sql);
    std::vector<size_t> sig = significant(tokens);
    auto sigTok = [&](size_t k) -> Token * { return k < sig.size() ? &tokens[sig[k]] : nullptr; };

    // Drop a trailing ';'.
    if (!sig.empty() && tokens[sig.back()].kind == Token::Punct && tokens[sig.back()].text == ";") {
        tokens.erase(tokens.begin() + long(sig.back()));
        sig.pop_back();
    }
    if (sig.empty()) {
        tr.error = "The statement is empty.";
        return tr;
    }

    const Token &first = tokens[sig[0]];
    if (is(first, "commit") && (sig.size() == 1 || (sig.size() == 2 && is(*sigTok(1), "work")))) {
        tr.kind = Translation::Commit;
        return tr;
    }
    if (is(first, "rollback") && (sig.size() == 1 || (sig.size() == 2 && is(*sigTok(1), "work")))) {
        tr.kind = Translation::Rollback;
        return tr;
    }
    if (is(first, "move")) {
        // move file object 'from' to 'to'
        // move file object ? to ?   (the paths given as values)
        if (sig.size() == 6 && is(*sigTok(1), "file") && is(*sigTok(2), "object") &&
            sigTok(3)->kind == Token::String && is(*sigTok(4), "to") && sigTok(5)->kind == Token::String) {
            tr.kind = Translation::MoveFileObject;
            tr.moveFrom = unquoteString(sigTok(3)->text);
            tr.moveTo = unquoteString(sigTok(5)->text);
        } else if (sig.size() == 6 && is(*sigTok(1), "file") && is(*sigTok(2), "object") &&
                   sigTok(3)->kind == Token::Param && is(*sigTok(4), "to") &&
                   sigTok(5)->kind == Token::Param) {
            tr.kind = Translation::MoveFileObject;
            tr.paramCount = 2;
        } else {
            tr.error = "Expected: move file object 'from' to 'to', or move file object ? to ?.";
        }
        return tr;
    }

    const bool isCreateTable = is(first, "create") && sig.size() > 2 && is(*sigTok(1), "table");
    const bool isAlterAdd =
        is(first, "alter") && sig.size() > 4 && is(*sigTok(1), "table") && is(*sigTok(3), "add");
    const bool isDropTable = is(first, "drop") && sig.size() > 2 && is(*sigTok(1), "table");
    tr.frees = isDropTable || is(first, "delete");
    const bool isUpdate = is(first, "update");
    // "replace into" is an insert; so is "with ... insert", whose rows need their OIDs all the same.
    bool isInsert = is(first, "insert") || is(first, "replace");
    if (is(first, "with")) {
        int depth = 0;
        for (size_t k = 1; k < sig.size() && !isInsert; ++k) {
            const Token &t = tokens[sig[k]];
            if (t.kind == Token::Punct && t.text == "(")
                ++depth;
            else if (t.kind == Token::Punct && t.text == ")")
                --depth;
            else if (depth == 0 && (is(t, "insert") || is(t, "replace")) && k + 1 < sig.size() &&
                     (is(tokens[sig[k + 1]], "into") || is(tokens[sig[k + 1]], "or")))
                isInsert = true;
        }
    }

    if (isCreateTable || isAlterAdd || isDropTable) {
        size_t nameAt = 2;
        if (isDropTable && sig.size() > 4 && is(*sigTok(2), "if") && is(*sigTok(3), "exists"))
            nameAt = 4;
        if (isCreateTable && sig.size() > 5 && is(*sigTok(2), "if") && is(*sigTok(3), "not") &&
            is(*sigTok(4), "exists"))
            nameAt = 5;
        if (nameAt >= sig.size()) {
            tr.error = "Expected a table name.";
            return tr;
        }
        // main.T: the table is T.
        if (nameAt + 2 < sig.size() && sigTok(nameAt + 1)->kind == Token::Punct &&
            sigTok(nameAt + 1)->text == ".")
            nameAt += 2;
        tr.table = unquoteIdentifier(*sigTok(nameAt));
    }

    if (isCreateTable) {
        tr.kind = Translation::CreateTable;
        // Column definitions: between the first '(' after the name and its matching ')'.
        size_t open = 0, close = 0;
        int depth = 0;
        for (size_t k = 3; k < sig.size(); ++k) {
            const Token &t = tokens[sig[k]];
            if (t.kind == Token::Punct && t.text == "(") {
                if (depth++ == 0 && open == 0)
                    open = sig[k];
            } else if (t.kind == Token::Punct && t.text == ")") {
                if (--depth == 0) {
                    close = sig[k];
                    break;
                }
            }
        }
        if (open == 0 || close == 0) {
            tr.error = "A table needs its columns in parentheses.";
            return tr;
        }
        bool ownKey = false;
        translateColumnDefs(tokens, open + 1, close, tr.table, tr.columns, &ownKey);
        // Every row's OID lives in a column of its own, which SQLite never renumbers.
        if (!ownKey)
            tokens[open].text = "(" + std::string(OidColumn) + " integer primary key, ";
    } else if (isAlterAdd) {
        tr.kind = Translation::AlterAdd;
        size_t from = sig[4];
        if (is(tokens[from], "column") && sig.size() > 5)
            from = sig[5];
        translateColumnDefs(tokens, from, tokens.size(), tr.table, tr.columns);
        if (!tr.columns.empty() && tr.columns[0].isSerial) {
            tr.error = "A serial column cannot be added to an existing table.";
            return tr;
        }
    } else if (isDropTable) {
        tr.kind = Translation::DropTable;
        // The engine runs a drop itself: nothing may follow it unseen.
        for (size_t k : sig)
            if (tokens[k].kind == Token::Punct && tokens[k].text == ";") {
                tr.error = "The text holds more than one statement; run them one at a time.";
                tr.manyStatements = true;
                return tr;
            }
    }

    // Rewrites that apply to any statement.
    for (size_t k = 0; k < sig.size(); ++k) {
        Token &t = tokens[sig[k]];
        Token *prev = k > 0 ? &tokens[sig[k - 1]] : nullptr;
        Token *next = sigTok(k + 1);
        if (t.kind == Token::Param) {
            ++tr.paramCount;
            continue;
        }
        if (needsQuoting(t)) {
            if (!(prev && (is(*prev, "create") || is(*prev, "unique") || is(*prev, "drop"))))
                t.text = quoteIdentifier(t.text);
            continue;
        }
        // 'hh'x: a binary literal.
        if (t.kind == Token::String && sig[k] + 1 < tokens.size()) {
            Token &after = tokens[sig[k] + 1];
            if (after.kind == Token::Ident && equalsIgnoreCase(after.text, "x") &&
                isHex(unquoteString(t.text))) {
                t.text = "x" + t.text;
                after.text.clear();
                after.kind = Token::Space;
            }
            continue;
        }
        // "case match": the case-sensitive form of match.
        if (is(t, "case") && next && is(*next, "match")) {
            t.text = "regexp";
            next->text.clear();
            next->kind = Token::Space;
            continue;
        }
        // "for browse" ends a query that is read row by row; SQLite reads that way anyway.
        if (is(t, "for") && next && is(*next, "browse") && k + 2 == sig.size()) {
            t.text.clear();
            t.kind = Token::Space;
            next->text.clear();
            next->kind = Token::Space;
            break;
        }
        // "update T set a=b, set c=d": the engine accepts a repeated "set".
        if (isUpdate && is(t, "set") && prev && prev->kind == Token::Punct && prev->text == ",") {
            t.text.clear();
            t.kind = Token::Space;
            continue;
        }
        // filename(column): the full path of the column's file object.
        if (is(t, "filename") && next && next->kind == Token::Punct && next->text == "(") {
            int depth = 0;
            size_t closeAt = 0;
            for (size_t j = k + 1; j < sig.size(); ++j) {
                const Token &u = tokens[sig[j]];
                if (u.kind == Token::Punct && u.text == "(")
                    ++depth;
                else if (u.kind == Token::Punct && u.text == ")" && --depth == 0) {
                    closeAt = j;
                    break;
                }
            }
            if (closeAt != 0) {
                t.text = "(select vk_objpath(dir,name,type) from _vk_fileobj where id=";
                tokens[sig[closeAt]].text = "))";
            }
            continue;
        }
    }

    if (isInsert) {
        // insert into T [(columns)] (values ... | select ...): the engine supplies each row's OID
        // as its rowid, taken from the one counter of the database.
        size_t k = 1;
        while (k < sig.size() && !is(*sigTok(k), "into"))
            ++k;
        if (k + 1 >= sig.size()) {
            tr.error = "Expected: insert into table.";
            return tr;
        }
        tr.kind = Translation::Insert;
        tr.table = unquoteIdentifier(*sigTok(k + 1));
        size_t after = k + 2;
        if (after >= sig.size()) {
            tr.error = "Expected values after the table name.";
            return tr;
        }
        Token *listOpen = sigTok(after);
        if (!(listOpen->kind == Token::Punct && listOpen->text == "(")) {
            tr.needsColumnList = true;
            return tr;
        }
        // Skip the column list, then give every row of values (or the select) its OID.
        int depth = 0;
        size_t j = after;
        for (; j < sig.size(); ++j) {
            const Token &u = tokens[sig[j]];
            if (u.kind == Token::Punct && u.text == "(")
                ++depth;
            else if (u.kind == Token::Punct && u.text == ")" && --depth == 0)
                break;
        }
        ++j;
        listOpen->text = "(rowid,";
        if (j < sig.size() && is(*sigTok(j), "values")) {
            depth = 0;
            for (size_t m = j + 1; m < sig.size(); ++m) {
                Token &u = tokens[sig[m]];
                if (u.kind == Token::Punct && u.text == "(") {
                    if (depth++ == 0)
                        u.text = "(vk_oid(),";
                } else if (u.kind == Token::Punct && u.text == ")") {
                    --depth;
                }
            }
        } else if (j < sig.size() && is(*sigTok(j), "select")) {
            // Every select of a compound query gives its rows an OID.
            depth = 0;
            for (size_t m = j; m < sig.size(); ++m) {
                Token &u = *sigTok(m);
                if (u.kind == Token::Punct && u.text == "(")
                    ++depth;
                else if (u.kind == Token::Punct && u.text == ")")
                    --depth;
                if (depth != 0 || !is(u, "select"))
                    continue;
                // Appended to the keyword itself, so that no punctuation token changes its text.
                Token *keyword = &u;
                if (m + 1 < sig.size() && (is(*sigTok(m + 1), "distinct") || is(*sigTok(m + 1), "all")))
                    keyword = sigTok(m + 1);
                keyword->text += " vk_oid(),";
            }
        } else {
            tr.error = "Expected values or a query after the column list.";
            return tr;
        }
    }

    tr.sql = join(tokens);
    return tr;
}

std::string completeInsert(const std::string &sql, const std::vector<std::string> &columns)
{
    std::vector<Token> tokens = tokenize(sql);
    std::vector<size_t> sig = significant(tokens);
    for (size_t k = 0; k + 1 < sig.size(); ++k) {
        if (is(tokens[sig[k]], "into")) {
            std::string list = " (";
            for (size_t c = 0; c < columns.size(); ++c)
                list += (c ? "," : "") + quoteIdentifier(columns[c]);
            tokens[sig[k + 1]].text += list + ")";
            break;
        }
    }
    return join(tokens);
}

namespace {

bool isPunct(const Token &t, const char *text)
{
    return t.kind == Token::Punct && t.text == text;
}

bool isName(const Token &t)
{
    return t.kind == Token::Ident || t.kind == Token::QuotedIdent;
}

// Words that end a FROM item's name, so they are never taken for an alias.
bool endsFromItem(const Token &t)
{
    static const char *const words[] = {"where",  "join",    "inner",   "left",  "right",  "full",
                                        "cross",  "natural", "outer",   "on",    "using",  "group",
                                        "order",  "limit",   "having",  "union", "except", "intersect",
                                        "window", "for",     "indexed", "not",   "offset"};
    for (const char *w : words)
        if (is(t, w))
            return true;
    return false;
}

bool isJoinWord(const Token &t)
{
    return is(t, "join") || is(t, "inner") || is(t, "left") || is(t, "right") || is(t, "full") ||
           is(t, "cross") || is(t, "natural") || is(t, "outer");
}

bool endsFromList(const Token &t)
{
    return is(t, "where") || is(t, "group") || is(t, "order") || is(t, "limit") || is(t, "having") ||
           is(t, "union") || is(t, "except") || is(t, "intersect") || is(t, "window") || is(t, "for");
}

struct FromItem
{
    std::string table;     // empty for a subquery
    std::string qualifier; // the alias, or the table's name as written
    bool subquery = false;
};

// The FROM list of the select whose list holds the significant token `at`; false when
// it cannot be read plainly (then the star is left as it is).
bool fromItems(const std::vector<Token> &tokens, const std::vector<size_t> &sig, size_t at,
               std::vector<FromItem> &items)
{
    int depth = 0;
    size_t k = at + 1;
    for (; k < sig.size(); ++k) {
        const Token &t = tokens[sig[k]];
        if (isPunct(t, "("))
            ++depth;
        else if (isPunct(t, ")") && --depth < 0)
            return false;
        else if (depth == 0 && is(t, "from"))
            break;
    }
    if (k >= sig.size())
        return false;
    ++k;
    while (k < sig.size()) {
        FromItem item;
        const Token &t = tokens[sig[k]];
        if (isPunct(t, "(")) {
            int d = 0;
            for (; k < sig.size(); ++k) {
                if (isPunct(tokens[sig[k]], "("))
                    ++d;
                else if (isPunct(tokens[sig[k]], ")") && --d == 0)
                    break;
            }
            if (k >= sig.size())
                return false;
            ++k;
            item.subquery = true;
        } else if (isName(t)) {
            item.table = unquoteIdentifier(t);
            item.qualifier = t.text;
            ++k;
            // schema.table
            if (k + 1 < sig.size() && isPunct(tokens[sig[k]], ".") && isName(tokens[sig[k + 1]])) {
                item.table = unquoteIdentifier(tokens[sig[k + 1]]);
                item.qualifier = tokens[sig[k + 1]].text;
                k += 2;
            }
        } else {
            return false;
        }
        if (k < sig.size() && is(tokens[sig[k]], "as"))
            ++k;
        if (k < sig.size() && isName(tokens[sig[k]]) && !endsFromItem(tokens[sig[k]])) {
            item.qualifier = tokens[sig[k]].text;
            ++k;
        }
        items.push_back(item);
        // Skip a join condition, then find the next item or the end of the list.
        int d = 0;
        for (; k < sig.size(); ++k) {
            const Token &u = tokens[sig[k]];
            if (isPunct(u, "("))
                ++d;
            else if (isPunct(u, ")") && --d < 0)
                return true;
            if (d != 0)
                continue;
            if (isPunct(u, ",") || isJoinWord(u) || endsFromList(u) || isPunct(u, ";"))
                break;
        }
        if (k >= sig.size() || endsFromList(tokens[sig[k]]))
            return true;
        if (isPunct(tokens[sig[k]], ",")) {
            ++k;
            continue;
        }
        while (k < sig.size() && isJoinWord(tokens[sig[k]]))
            ++k;
    }
    return true;
}

} // namespace

std::string expandStars(const std::string &sql,
                        const std::function<TableColumns(const std::string &table)> &columnsOf,
                        bool &expanded)
{
    expanded = false;
    std::vector<Token> tokens = tokenize(sql);
    const std::vector<size_t> sig = significant(tokens);
    // The names a WITH clause gives its queries: a star over one of them is the query's own.
    std::vector<std::string> queryNames;
    if (!sig.empty() && is(tokens[sig[0]], "with")) {
        int depth = 0;
        for (size_t k = 1; k < sig.size(); ++k) {
            const Token &t = tokens[sig[k]];
            if (isPunct(t, "(")) {
                ++depth;
            } else if (isPunct(t, ")")) {
                --depth;
            } else if (depth == 0) {
                if (is(t, "select") || is(t, "insert") || is(t, "update") || is(t, "delete") ||
                    is(t, "replace"))
                    break;
                const Token &prev = tokens[sig[k - 1]];
                if (isName(t) && !is(t, "recursive") &&
                    (is(prev, "with") || is(prev, "recursive") || isPunct(prev, ",")))
                    queryNames.push_back(unquoteIdentifier(t));
            }
        }
    }
    auto isQueryName = [&queryNames](const std::string &name) {
        for (const std::string &q : queryNames)
            if (equalsIgnoreCase(q, name))
                return true;
        return false;
    };
    for (size_t k = 1; k < sig.size(); ++k) {
        Token &star = tokens[sig[k]];
        if (!isPunct(star, "*"))
            continue;
        const Token &prev = tokens[sig[k - 1]];
        const Token *next = k + 1 < sig.size() ? &tokens[sig[k + 1]] : nullptr;
        if (!next || !(is(*next, "from") || isPunct(*next, ",")))
            continue;
        const bool qualified = isPunct(prev, ".") && k >= 2 && isName(tokens[sig[k - 2]]);
        if (!qualified &&
            !(is(prev, "select") || is(prev, "distinct") || is(prev, "all") || isPunct(prev, ",")))
            continue;
        std::vector<FromItem> items;
        if (!fromItems(tokens, sig, k, items) || items.empty())
            continue;
        auto columnsOfItem = [&](const FromItem &item) {
            return item.subquery || isQueryName(item.table) ? TableColumns{} : columnsOf(item.table);
        };
        auto list = [](const std::string &qualifier, const std::vector<std::string> &columns) {
            std::string out;
            for (const std::string &col : columns)
                out += (out.empty() ? "" : ",") + (qualifier.empty() ? "" : qualifier + ".") +
                       quoteIdentifier(col);
            return out;
        };
        std::string replacement;
        if (qualified) {
            const std::string wanted = unquoteIdentifier(tokens[sig[k - 2]]);
            for (const FromItem &item : items) {
                const std::vector<Token> written = tokenize(item.qualifier);
                if (written.size() != 1 || !equalsIgnoreCase(unquoteIdentifier(written[0]), wanted))
                    continue;
                const TableColumns cols = columnsOfItem(item);
                if (cols.hasOidColumn && !cols.visible.empty())
                    replacement = list(tokens[sig[k - 2]].text, cols.visible);
                break;
            }
            if (replacement.empty())
                continue;
            tokens[sig[k - 2]] = Token{Token::Space, ""};
            tokens[sig[k - 1]] = Token{Token::Space, ""};
        } else {
            std::vector<TableColumns> cols;
            bool any = false;
            for (const FromItem &item : items) {
                cols.push_back(columnsOfItem(item));
                any = any || cols.back().hasOidColumn;
            }
            if (!any)
                continue;
            bool plain = true;
            for (size_t i = 0; i < items.size() && plain; ++i) {
                std::string part;
                if (cols[i].hasOidColumn && !cols[i].visible.empty())
                    part = list(items.size() == 1 ? std::string() : items[i].qualifier, cols[i].visible);
                else if (!items[i].qualifier.empty())
                    part = items[i].qualifier + ".*";
                else
                    plain = false;
                replacement += (replacement.empty() ? "" : ",") + part;
            }
            if (!plain)
                continue;
        }
        star.text = replacement;
        expanded = true;
    }
    return expanded ? join(tokens) : sql;
}

} // namespace vkdb
