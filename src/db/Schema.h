// The tables of the library, as the program creates them.
#pragma once

namespace vk {

inline constexpr const char *FolderCreateStatement =
    "create table Folder (FolderId serial,Title char(256),Description Long VarChar,LastModified TimeStamp,Width "
    "integer,Height integer,BorderWidth integer,index float,InsertDate date,Author char(64),ParFolderId integer)";

inline constexpr const char *MediaDataCreateStatement =
    "create table MediaData (FolderId Integer,title char(256),description Long VarChar,media file,index "
    "float,MediaType integer,MediaNail File,KeyWords varchar(1024),InsertDate date,Author char(64))";

} // namespace vk
