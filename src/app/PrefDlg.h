// The preferences dialog "Preferences": the tile size and border of the folder windows, the
// frame background's source and style and the desktop wallpaper's style, and how media are
// scanned and imported. Nothing is applied before OK: the caller reads the values and the two
// change flags afterwards.
#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QTabWidget;

namespace vk {

struct PreferenceValues
{
    int tileWidth = 80;
    int tileHeight = 100;
    int tileBorder = 3;
    bool showExternalMark = false;
    int importType = 0;
    bool embeddedPreviews = true;
    int scanImageType = 0;
    int wallPaperChecked = 1; // 0 blank, 1 the built-in picture, 2 the custom one
    int wallPaperStyle = 0;   // 0 tile, 1 centre
    bool desktopHasWallpaper = false;
    bool desktopTile = true;
    bool saveAsDefault = false;
};

class TPreference : public QDialog
{
    Q_OBJECT
public:
    explicit TPreference(const PreferenceValues &values, QWidget *parent = nullptr);

    // The size choice of a tile: height 100 is the first, 120 the second with width 100 and the
    // last otherwise, 140, 60 and 94 the third to the fifth; -1 for any other.
    static int sizeChoiceOf(int width, int height);

    // What the dialog shows now (the sample tile's size follows the size choice).
    PreferenceValues values() const;
    int sizeChoice() const;
    // Something the frame applies was changed; the background was among it.
    bool changed() const { return m_changed; }
    bool wallpaperChanged() const { return m_wallpaperChanged; }

    QTabWidget *pages() const { return m_pages; }
    QButtonGroup *SizeGroup = nullptr;
    QButtonGroup *BorderGroup = nullptr;
    QCheckBox *CheckBox1 = nullptr;      // Save As Default
    QCheckBox *ckbShowExtMark = nullptr; // Show mark for external media
    QButtonGroup *WallPaperRadioGroup = nullptr;
    QButtonGroup *WallPaperStyle = nullptr;
    QButtonGroup *DesktopWallPaperStyle = nullptr;
    QButtonGroup *ScanImageTypeRadio = nullptr;
    QButtonGroup *rdgDefImportMda = nullptr;
    QCheckBox *ckbEmbeddedPreviews = nullptr;
    QGroupBox *frameStyleBox = nullptr;
    QGroupBox *desktopStyleBox = nullptr;
    QWidget *sampleTile = nullptr;

private:
    void placeSample();

    PreferenceValues m_values;
    QTabWidget *m_pages = nullptr;
    QWidget *m_samplePanel = nullptr;
    bool m_changed = false;
    bool m_wallpaperChanged = false;
};

} // namespace vk
