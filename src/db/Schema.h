// The tables of the library, as the program creates them.
#pragma once

namespace vk {

inline constexpr const char *FolderCreateStatement =
    "create table Folder (FolderId serial,Title char(256),Description Long VarChar,LastModified "
    "TimeStamp,Width "
    "integer,Height integer,BorderWidth integer,index float,InsertDate date,Author char(64),ParFolderId "
    "integer)";

inline constexpr const char *MediaDataCreateStatement =
    "create table MediaData (FolderId Integer,title char(256),description Long VarChar,media file,index "
    "float,MediaType integer,MediaNail File,KeyWords varchar(1024),InsertDate date,Author char(64))";

// The media rows of a folder in their order: a command on one folder reads them without going
// through the whole table, and the start-up load reads every row in this order. Made with the
// table, and by the schema check for a database made before it (a no-op when it is there).
inline constexpr const char *MediaDataOrderIndexStatement =
    "create index if not exists MediaData_FolderOrder on MediaData (FolderId, index)";

} // namespace vk

#include <QString>
#include <QStringList>

#include <functional>

namespace vk {

class Connection;

inline constexpr const char *KeyWordsTableColumns = "Name char(32), Icon file, Reference integer default 0";
inline constexpr const char *FlagTableColumns =
    "Flag_CB_Id integer,Flag_Slide_Id integer,Flag_Id integer,Flag_StartTime integer,Flag_Name varchar(255),"
    "Flag_Type_Id integer,Loop_EndTime integer,Jump_To_MarkName varchar(255),FlagActive_Type "
    "integer,Time_Associated "
    "integer";
inline constexpr const char *FolderTableCreateStatement =
    "create table Folder_Table(FolderId integer, Title VarChar(255), Description Long varchar)";
inline constexpr const char *ClearBookTableCreateStatement =
    "create table ClearBook_Table(CB_Id serial,CB_Title VarChar(255),CB_DateTime TimeStamp,CB_Author "
    "VarChar(255),CB_Describe Long VarChar,CB_Index Integer)";
inline constexpr const char *SlideTableCreateStatement =
    "create table Slide_Table(CB_Id integer,Slide_Id Serial,Slide_Title VarChar(255),Slide_DateTime "
    "TimeStamp,Slide_Author VarChar(255),Slide_Describe Long VarChar,Slide_BGround File,Slide_Index "
    "Integer,Slide_BGroundX char(1),Slide_Ratio float,Slide_BColor char(30),Slide_Gradient Integer)";
inline constexpr const char *ObjectTableCreateStatement =
    "create table Object_Table(CB_Id integer,Slide_Id Integer,Obj_Id Integer,Obj_Flag Char(1),Obj_TypeId "
    "integer,Db_FolderId Integer,Db_OID char(18),Db_Title VarChar(255),Obj_Link_CBId "
    "Integer,Obj_Link_SlideId "
    "integer,Obj_Media File,Bar_Left Integer,Bar_Width Integer,Hint VarChar(255),Caption VarChar(255),Height "
    "Integer,Left Integer,Top Integer,Width Integer,Tag Integer,Title VarChar(255),Spec_Property "
    "char(345),Spec_Property2 varchar(2504),Id Serial,Index Float, Left_S Float, Top_S Float, Width_S Float, "
    "Height_S Float)";

// "create table " + name + " (" + columns + ")".
bool CreateTable(Connection &c, const QString &name, const QString &columns);
bool AddFolderColumn(Connection &c, const QString &column, const QString &type);
bool AddMediaDataColumn(Connection &c, const QString &column, const QString &type);
bool AddColumn(Connection &c, const QString &table, const QString &column, const QString &type);

// Brings the library's tables up to date; each step acts only when the catalog says its
// column or table is missing, and a failed step does not stop the next. What changed is
// appended to *changes.
void StartupSchemaCheck(Connection &c, QStringList *changes = nullptr);
// The authoring tables (run when the authoring window opens).
void AuthoringSchemaCheck(Connection &c, QStringList *changes = nullptr);

// Turns keyword names in MediaData.KeyWords into keyword OIDs and recounts references.
// Names that no keyword row has yet get one, so that no keyword is lost. Runs inside the
// caller's transaction; false when it failed (the caller rolls back).
bool ConvertKeywords(Connection &c);

// The integration check's state for one run of the program.
struct IntegrationState
{
    bool done = false;
    bool relocate = true; // false: only look (a command that only reads never moves a file)
    QStringList lostFiles;
};

// Moves the database's internal file objects into the configured file-object directory
// (after a database was moved or restored). Answers false only when start-up must stop.
bool IntegrationCheck(Connection &c, IntegrationState &state,
                      const std::function<void(const QString &)> &status = {},
                      QStringList *changes = nullptr);

} // namespace vk
