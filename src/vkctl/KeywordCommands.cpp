// vkctl keyword: keywords and the media they tag.
#include "Commands.h"

#include "CliOutput.h"
#include "CliSource.h"
#include "Connection.h"
#include "DbFolder.h"
#include "KeyWords.h"
#include "OptionStore.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace vk {

namespace {

// The keywords, loaded; false after telling why.
bool openKeywords(const Call &call, Connection &c, TDbKeyWordList &keywords)
{
    return call.open(c) && keywords.Load(c);
}

// A keyword by its OID, or by a name only one keyword has; null after telling why.
TDbKeyWord *namedKeyword(const TDbKeyWordList &keywords, const QString &name)
{
    if (TDbKeyWord *k = FindKeyword(keywords, name))
        return k;
    QList<TDbKeyWord *> found;
    for (TDbKeyWord *k : keywords.Items)
        if (k->Rec.Name == name)
            found << k;
    if (found.size() == 1)
        return found.first();
    if (found.isEmpty()) {
        printError(QStringLiteral("there is no keyword %1").arg(name));
    } else {
        QStringList oids;
        for (TDbKeyWord *k : std::as_const(found))
            oids << k->Rec.OID;
        printError(QStringLiteral("%1 keywords are named \"%2\"; name one by its OID: %3")
                       .arg(found.size())
                       .arg(name, oids.join(QStringLiteral(", "))));
    }
    return nullptr;
}

int runAdd(Call &call)
{
    const QString icon = call.value(QStringLiteral("icon"));
    if (!icon.isEmpty() && !QFileInfo(icon).isFile()) {
        printError(QStringLiteral("there is no icon file %1").arg(icon));
        return ExitFailed;
    }
    Connection c;
    TDbKeyWordList keywords;
    if (!openKeywords(call, c, keywords))
        return ExitFailed;
    TsKeyWord record;
    record.Name = call.args[0];
    record.IconFile = icon;
    const int at = AddKeyword(c, keywords, record);
    if (at < 0)
        return ExitFailed;
    printLine(keywords.Items[at]->Rec.OID);
    return ExitDone;
}

int runLs(Call &call)
{
    Connection c;
    TDbKeyWordList keywords;
    if (!openKeywords(call, c, keywords))
        return ExitFailed;
    QJsonArray list;
    for (const TDbKeyWord *k : keywords.Items) {
        if (call.json())
            list.append(QJsonObject{{QStringLiteral("oid"), k->Rec.OID},
                                    {QStringLiteral("name"), k->Rec.Name},
                                    {QStringLiteral("reference"), k->Rec.Reference}});
        else
            printRecord({k->Rec.OID, k->Rec.Name, QString::number(k->Rec.Reference)});
    }
    if (call.json())
        printJson(list);
    return ExitDone;
}

int runRm(Call &call)
{
    Connection c;
    TDbKeyWordList keywords;
    if (!openKeywords(call, c, keywords))
        return ExitFailed;
    TDbKeyWord *keyword = namedKeyword(keywords, call.args[0]);
    return keyword && RemoveKeyword(c, keywords, keyword) ? ExitDone : ExitFailed;
}

int runTag(Call &call, bool down)
{
    Connection c;
    TDbKeyWordList keywords;
    if (!openKeywords(call, c, keywords))
        return ExitFailed;
    TDbKeyWord *keyword = namedKeyword(keywords, call.args[1]);
    if (!keyword)
        return ExitFailed;
    DisplayOptions display;
    TDbFolderList roots(c);
    LoadOptions(c, display);
    const QString oid = call.args[0];
    // The item's folder is enough; an item no folder holds takes the whole load.
    if (!roots.LoadFolderOfMedia(oid) &&
        !roots.Load(display.DefaultPanelWidth, display.DefaultPanelHeight, display.DefaultPanelBorderWidth))
        return ExitFailed;
    TDbMedia *item = roots.FindMediaByOid(oid);
    if (!item) {
        printError(QStringLiteral("there is no media item %1").arg(oid));
        return ExitFailed;
    }
    // Tagging what is already tagged (or untagging what is not) changes nothing and is no error.
    if (HasKeyword(item->Rec.KeyWords, keyword->Rec.OID) == down)
        return ExitDone;
    return ToggleKeyword(c, keyword, item, down) ? ExitDone : ExitFailed;
}

int runRecount(Call &call)
{
    Connection c;
    if (!call.open(c))
        return ExitFailed;
    return RecountKeywords(c) ? ExitDone : ExitFailed;
}

} // namespace

QList<Command> keywordCommands()
{
    const QString naming = QStringLiteral("KEYWORD is a keyword's OID or its name.");

    Command add;
    add.name = QStringLiteral("keyword add");
    add.synopsis = QStringLiteral("NAME [--icon FILE]");
    add.summary = QStringLiteral("make a keyword; prints its OID");
    add.description =
        QStringLiteral("Makes the keyword NAME (one line of at most 32 characters) and prints its "
                       "OID.");
    add.options = {QCommandLineOption(QStringLiteral("icon"),
                                      QStringLiteral("the keyword's icon, stored with it"),
                                      QStringLiteral("FILE"))};
    add.examples = {QStringLiteral("vkctl keyword add Beach --icon beach.ico")};
    add.minArgs = add.maxArgs = 1;
    add.run = runAdd;

    Command ls;
    ls.name = QStringLiteral("keyword ls");
    ls.synopsis = QStringLiteral("[--json]");
    ls.summary = QStringLiteral("list the keywords: OID, name, reference");
    ls.description = QStringLiteral("Lists the keywords, one a line: OID, name, and how many media it tags.");
    ls.options = {jsonOption()};
    ls.examples = {QStringLiteral("vkctl keyword ls --json")};
    ls.readOnly = true;
    ls.run = runLs;

    Command rm;
    rm.name = QStringLiteral("keyword rm");
    rm.synopsis = QStringLiteral("KEYWORD");
    rm.summary = QStringLiteral("remove a keyword from the library and every item");
    rm.description = QStringLiteral("Takes the keyword off every item it tags and removes it.\n\n") + naming;
    rm.examples = {QStringLiteral("vkctl keyword rm Beach")};
    rm.minArgs = rm.maxArgs = 1;
    rm.run = runRm;

    Command tag;
    tag.name = QStringLiteral("keyword tag");
    tag.synopsis = QStringLiteral("MEDIA_OID KEYWORD");
    tag.summary = QStringLiteral("tag a media item with a keyword");
    tag.description =
        QStringLiteral("Tags the item with the keyword; an item tagged already is no error.\n\n") + naming;
    tag.examples = {QStringLiteral("vkctl keyword tag 000000000000001234 Beach")};
    tag.minArgs = tag.maxArgs = 2;
    tag.run = [](Call &call) { return runTag(call, true); };

    Command untag = tag;
    untag.name = QStringLiteral("keyword untag");
    untag.summary = QStringLiteral("take a keyword off a media item");
    untag.description =
        QStringLiteral("Takes the keyword off the item; an item without it is no error.\n\n") + naming;
    untag.examples = {QStringLiteral("vkctl keyword untag 000000000000001234 Beach")};
    untag.run = [](Call &call) { return runTag(call, false); };

    Command recount;
    recount.name = QStringLiteral("keyword recount");
    recount.synopsis = QString();
    recount.summary = QStringLiteral("count again how many items each keyword tags");
    recount.description = QStringLiteral("Rebuilds every item's keywords from what is tagged and counts each "
                                         "keyword's items again, as one change.");
    recount.examples = {QStringLiteral("vkctl keyword recount")};
    recount.run = runRecount;

    return {add, ls, rm, tag, untag, recount};
}

} // namespace vk
