// Sorting the library the way the folder explorer sorts its nodes: by their text,
// case-sensitive, in character-code order (equal texts keep their order). The new
// order is stored as order keys 0, 32, 64, ... through the library model.
#pragma once

namespace vk {

class TDbFolder;
class TDbFolderList;

// The root folders in title order; each root folder's index becomes its position × 32
// (only the index column is written). False when a row could not be written: then no
// index changes in the database.
bool SortMainFolders(TDbFolderList &roots);

// A folder's items (media and subfolder tiles) in title order, each index becoming its
// position × 32: a subfolder stores its folder's index, a media item its own.
bool SortFolderItems(TDbFolderList &roots, TDbFolder *folder);

} // namespace vk
