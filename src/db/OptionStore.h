// The workspace's display options, kept in the database as ten name/value rows of
// OptionTable: read once at start-up, written back once at shutdown.
#pragma once

#include <QString>

#include <array>

namespace vk {

class Connection;

struct DisplayOptions
{
    int SizeOptionChecked = 0;
    int PosOptionChecked = 4;
    int CustomDisplayWidth = 0;
    int CustomDisplayHeight = 0;
    int DefaultPanelWidth = 80;
    int DefaultPanelHeight = 100;
    int DefaultPanelBorderWidth = 3;
    int ScanImageType = 0;
    int WallPaperStyle = 0;
    int WallPaperChecked = 1;

    // The options in the order they are written, with their stored names.
    static const std::array<const char *, 10> &names();
    int &at(int row);
    int at(int row) const { return const_cast<DisplayOptions *>(this)->at(row); }
    bool operator==(const DisplayOptions &) const = default;
};

bool OptionTableExists(Connection &c);
// Reads OptionTable into `options`; options without a row keep their values.
void LoadOptions(Connection &c, DisplayOptions &options);
// Creates OptionTable and writes `options`.
bool CreateOptions(Connection &c, const DisplayOptions &options);
// Replaces OptionTable's rows with `options`, as one change: a failure keeps the old rows.
bool SaveOptions(Connection &c, const DisplayOptions &options);

// Start-up: load the options when the table exists, otherwise create it from `options`.
// Answers true when the table was created.
bool LoadOrCreateOptions(Connection &c, DisplayOptions &options);

} // namespace vk
