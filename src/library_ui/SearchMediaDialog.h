// "Search Media": the dialog that combines folder, media type, text, author, keywords and
// insertion date into one search, keeps its numbered summary up to date, and on Start runs the
// search into a new result folder (the query itself is the library's, SearchMedia.h).
#pragma once

#include "SearchMedia.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

namespace vk {

class TDbFolderList;
class TDbKeyWordList;
class UiServices;

class TMedSearch : public QDialog
{
    Q_OBJECT
public:
    TMedSearch(TDbFolderList &roots, const TDbKeyWordList &keywords, UiServices &ui,
               QWidget *parent = nullptr);

    // The criteria as the controls say now.
    TrecSearchCondition condition() const;
    QStringList summary() const { return Summary; }
    // The folder made by the last Start; the caller takes it after OK.
    TDbFolder *ResultFolder = nullptr;
    int tileWidth = 80, tileHeight = 100, tileBorder = 3;

    // The controls, for the window's own tests.
    QLineEdit *Keyword = nullptr;
    QLineEdit *edtAuthor = nullptr;
    QCheckBox *CaseSensitive = nullptr;
    QCheckBox *ckbSeperate = nullptr;
    QComboBox *cboSeperate = nullptr;
    QRadioButton *rabMediaAll = nullptr, *rabMediaPartly = nullptr;
    QListWidget *lstMediaType = nullptr;
    QRadioButton *rabKeyWordsAll = nullptr, *rabKeyWordsPartly = nullptr;
    QListWidget *lstKeyWords = nullptr;
    QRadioButton *rabAllTime = nullptr, *rabDateFrom = nullptr, *rabDateBetween = nullptr,
                 *rabDateTo = nullptr;
    QLineEdit *edtDateFrom = nullptr, *edtDateTo = nullptr;
    QTreeWidget *trvFolder = nullptr;
    QPlainTextEdit *meoPredicate = nullptr;

    // Start: answers whether the search ran (the dialog then closes with OK).
    bool Start();

public slots:
    void refreshSummary();

private:
    void fillTree();

    TDbFolderList &m_roots;
    const TDbKeyWordList &m_keywords;
    UiServices &m_ui;
    QChar Separator;
    QStringList Summary;
};

} // namespace vk
