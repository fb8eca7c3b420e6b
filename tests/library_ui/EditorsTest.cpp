// The keywords editor, the property editor and the print layout over a real library: the
// keyword column's rows and scrolling (20 keywords in 8 rows), adding, renaming and deleting
// keywords and what the buttons tag; the property editor's Apply (only the changed columns, the
// date refused before anything is written, a failed write keeping the item); and the print
// layout's boxes, refusals and a page printed to a PDF where its preview shows it.
#include "ConnectChecks.h"
#include "DbFolder.h"
#include "Engine.h"
#include "FolderWindowHost.h"
#include "KeyWords.h"
#include "KeyWordsEditor.h"
#include "Messages.h"
#include "PptEditor.h"
#include "PrintDlg.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>

using namespace vk;

namespace {

class Host : public FolderWindowHost
{
public:
    explicit Host(TempDataSource &src) : m_src(src), m_roots(src.connection) { m_roots.Load(80, 100, 3); }
    TDbFolderList &roots() override { return m_roots; }
    TSelectedList &clipboard() override { return m_clipboard; }
    UiServices &ui() override { return m_src.ui; }
    void runCommand(const QString &) override {}
    void openFolder(TDbFolder *) override {}
    void showProperties(TDbMedia *, TDbFolder *) override {}
    void viewActivated(QWidget *) override {}
    void selectInExplorer(TDbFolder *, TDbMedia *) override {}
    TDbMedia *importPaths(TDbFolder *, const QStringList &) override { return nullptr; }
    bool showExternalMark() const override { return true; }
    QString workDirectory() const override { return m_src.dir() + QLatin1Char('/'); }

private:
    TempDataSource &m_src;
    TDbFolderList m_roots;
    TSelectedList m_clipboard;
};

class EditorsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        ConnectChecks checks;
        ASSERT_TRUE(RunConnectChecks(c(), checks)); // the keywords' table
        host = std::make_unique<Host>(src);
        ASSERT_TRUE(keywords.Load(c()));
        folder = host->roots().AddRootFolder("trip", 80, 3, 100);
        ASSERT_NE(folder, nullptr);
    }
    Connection &c() { return src.connection; }
    TDbMedia *import(const QString &name, const QByteArray &bytes)
    {
        int mode = 0;
        return host->roots().InsertMediaFile(folder, src.writeFile(name, bytes), mode);
    }
    QByteArray png(int width, int height, Qt::GlobalColor color = Qt::darkCyan)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(color);
        const QString path = src.dir() + QStringLiteral("/made%1x%2.png").arg(width).arg(height);
        image.save(path);
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    QString value(const QString &text, const QString &param = QString())
    {
        Statement st(c(), text);
        if (!param.isNull())
            st.bind(param);
        st.execute();
        QStringList out;
        st.fetch(out);
        return out.value(0);
    }
    QStringList updates(const std::function<void()> &run)
    {
        QStringList texts;
        vkdb::DbSetStatementLog(c().handle(), [&](const vkdb::DbLogEntry &e) {
            if (QString::fromStdString(e.text).startsWith("update"))
                texts << QString::fromStdString(e.text);
        });
        run();
        vkdb::DbSetStatementLog(c().handle(), {});
        return texts;
    }
    void addKeywords(int n)
    {
        for (int i = 0; i < n; ++i) {
            TsKeyWord k;
            k.Name = QStringLiteral("k%1").arg(i + 1);
            ASSERT_GE(AddKeyword(c(), keywords, k), 0);
        }
    }
    // A person typing into a box and leaving it with Enter.
    static void enter(QLineEdit *box, const QString &text)
    {
        box->setText(text);
        box->setModified(true);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(box, &key);
    }

    TempDataSource src;
    std::unique_ptr<Host> host;
    TDbKeyWordList keywords;
    TDbFolder *folder = nullptr;
};

// ---------------------------------------------------------------------------------------------
// The keywords editor

TEST(KeyWordColumnTest, RowsAndScrolling)
{
    const struct
    {
        const char *what;
        int count, rows;
        std::function<void(TKeyWordColumn &)> act;
        int firstShown;
        bool up, down;
    } cases[] = {
        {"all fit", 5, 8, [](TKeyWordColumn &) {}, 0, false, false},
        {"exactly fit", 8, 8, [](TKeyWordColumn &) {}, 0, false, false},
        {"one more than fits", 9, 8, [](TKeyWordColumn &) {}, 0, false, true},
        // 20 keywords, 8 rows, one added: the 14th to the 21st are shown.
        {"added to 20 in 8 rows", 21, 8, [](TKeyWordColumn &k) { k.ShowFrom(k.firstForLast(), 20); }, 13,
         true, false},
        {"scroll up at the top", 20, 8, [](TKeyWordColumn &k) { k.ScrollUp(); }, 0, false, true},
        {"scroll down", 20, 8, [](TKeyWordColumn &k) { k.ScrollDown(); }, 1, true, true},
        {"scroll down stops at the last row", 10, 8,
         [](TKeyWordColumn &k) {
             for (int i = 0; i < 5; ++i)
                 k.ScrollDown();
         },
         2, true, false},
        {"show from outside the list", 10, 8, [](TKeyWordColumn &k) { k.ShowFrom(10, 3); }, 0, false, true},
        {"bring the last into view", 20, 8, [](TKeyWordColumn &k) { k.bringIntoView(19); }, 12, true, false},
    };
    for (const auto &c : cases) {
        TKeyWordColumn k;
        k.Count = c.count;
        k.PanelHeight = c.rows * TKeyWordColumn::RowHeight + 5;
        c.act(k);
        EXPECT_EQ(k.FirstShown, c.firstShown) << c.what;
        EXPECT_EQ(k.scrollUpVisible(), c.up) << c.what;
        EXPECT_EQ(k.scrollDownVisible(), c.down) << c.what;
    }
    TKeyWordColumn k;
    k.Count = 21;
    k.PanelHeight = 8 * 22;
    k.ShowFrom(13, 20);
    EXPECT_EQ(k.buttonTop(12), -1);
    EXPECT_EQ(k.buttonTop(13), 1);
    EXPECT_EQ(k.buttonTop(20), 1 + 22 * 7);
    EXPECT_EQ(k.Current, 20);
}

TEST_F(EditorsTest, AddingToTwentyKeywordsShowsTheLastEightWithTheNewOneCurrent)
{
    addKeywords(20);
    TfrmKeyWords editor(keywords, c(), src.ui);
    editor.resize(editor.width(), 200); // a keyword panel of 8 rows
    editor.show();
    ASSERT_EQ(editor.column().visibleRows(), 8);
    EXPECT_EQ(editor.buttonCount(), 20);
    editor.btnAddClick();
    EXPECT_EQ(editor.column().FirstShown, 13);
    EXPECT_EQ(editor.column().Current, 20);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(editor.button(i)->isVisible(), i >= 13) << i;
    EXPECT_EQ(editor.label(20)->text(), "(None)");
    EXPECT_TRUE(editor.label(20)->styleSheet().contains("blue"));
    EXPECT_TRUE(editor.findChild<QLineEdit *>("edtKeyWord")->hasFocus() || !editor.isActiveWindow());
    // The row is stored at once and stays when the editor closes unnamed.
    editor.close();
    EXPECT_EQ(value("select count(*) from KeyWords_Table where Name=?", "(None)"), "1");
}

TEST_F(EditorsTest, KeywordsAreRenamedDeletedAndToggled)
{
    addKeywords(3);
    TDbMedia *item = import("a.png", png(20, 10));
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(ToggleKeyword(c(), keywords.Items[1], item, true));
    TfrmKeyWords editor(keywords, c(), src.ui);
    editor.show();
    auto *edit = editor.findChild<QLineEdit *>("edtKeyWord");
    auto *update = editor.findChild<QPushButton *>("btnUpdate");
    auto *remove = editor.findChild<QPushButton *>("btnDelete");
    EXPECT_FALSE(edit->isEnabled()) << "no keyword is being edited";

    // Rename: typed, then Update.
    editor.makeCurrent(0);
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_FALSE(update->isEnabled());
    edit->setText("Beach");
    emit edit->textEdited("Beach");
    EXPECT_TRUE(update->isEnabled());
    EXPECT_FALSE(remove->isEnabled()) << "not while a name is being typed";
    editor.btnUpdateClick();
    EXPECT_EQ(value("select Name from KeyWords_Table where OID=?", keywords.Items[0]->Rec.OID), "Beach");
    EXPECT_EQ(editor.label(0)->text(), "Beach");
    // A name the column cannot hold is refused, and nothing changes.
    edit->setText(QString(33, 'x'));
    emit edit->textEdited(edit->text());
    edit->setMaxLength(64);
    edit->setText(QString(33, 'x'));
    editor.btnUpdateClick();
    EXPECT_EQ(keywords.Items[0]->Rec.Name, "Beach");
    EXPECT_EQ(src.ui.messages.value(src.ui.messages.size() - 1),
              vkMessage("KeywordNameTooLong").arg(QString(33, 'x')));
    edit->setText("Beach");
    editor.btnUpdateClick();

    // A button pressed with nowhere to go changes nothing but the button.
    editor.SetDownStates(item->Rec.KeyWords);
    EXPECT_EQ(editor.downOids(), QStringList{keywords.Items[1]->Rec.OID});
    editor.button(2)->click();
    EXPECT_TRUE(editor.button(2)->isChecked());
    EXPECT_EQ(value("select Reference from KeyWords_Table where OID=?", keywords.Items[2]->Rec.OID), "0");
    // With somewhere to go, the item gains the keyword.
    editor.toggled = [&](TDbKeyWord *k, bool down) { return ToggleKeyword(c(), k, item, down); };
    editor.button(0)->click();
    EXPECT_TRUE(HasKeyword(value("select KeyWords from MediaData where OID=?", item->Rec.OID),
                           keywords.Items[0]->Rec.OID));
    EXPECT_EQ(value("select Reference from KeyWords_Table where OID=?", keywords.Items[0]->Rec.OID), "1");

    // Deleting the current keyword takes it off the item, and leaves nothing being edited.
    QStringList untagged;
    QObject::connect(&editor, &TfrmKeyWords::mediaUntagged,
                     [&](const QString &oid, const QString &) { untagged << oid; });
    const QString gone = keywords.Items[1]->Rec.OID;
    editor.makeCurrent(1);
    editor.btnDeleteClick();
    EXPECT_EQ(editor.buttonCount(), 2);
    EXPECT_EQ(editor.column().Current, -1);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_FALSE(remove->isEnabled());
    for (int i = 0; i < editor.buttonCount(); ++i)
        EXPECT_FALSE(editor.label(i)->styleSheet().contains("blue")) << i;
    EXPECT_EQ(value("select count(*) from KeyWords_Table where OID=?", gone), "0");
    EXPECT_FALSE(HasKeyword(value("select KeyWords from MediaData where OID=?", item->Rec.OID), gone));
    EXPECT_EQ(untagged, QStringList{item->Rec.OID});
}

TEST_F(EditorsTest, AnIconIsStoredWithItsKeyword)
{
    addKeywords(1);
    TfrmKeyWords editor(keywords, c(), src.ui);
    editor.show();
    editor.makeCurrent(0);
    const QString icon = src.writeFile("icon.png", png(48, 32, Qt::red));
    ASSERT_TRUE(editor.btnImageClick(icon));
    EXPECT_EQ(editor.findChild<QLabel *>("labKeyWordFileSize")->text(), "48 x 32");
    editor.btnUpdateClick();
    const QString stored =
        value("select filename(Icon) from KeyWords_Table where OID=?", keywords.Items[0]->Rec.OID);
    ASSERT_FALSE(stored.isEmpty());
    EXPECT_EQ(QImage(stored).size(), QSize(16, 16));
    EXPECT_FALSE(QFileInfo::exists(c().tempFilePrefix() + keywords.Items[0]->Rec.OID))
        << "the scratch file went";
    // A file that is no picture is said so, and changes nothing.
    EXPECT_FALSE(editor.btnImageClick(src.writeFile("no.bmp", "not a bitmap")));
    EXPECT_FALSE(editor.findChild<QPushButton *>("btnUpdate")->isEnabled());
}

// ---------------------------------------------------------------------------------------------
// The property editor

TEST_F(EditorsTest, ApplyWritesOnlyTheChangedColumnsAndRefusesABadDate)
{
    TDbMedia *item = import("a.png", png(40, 30));
    ASSERT_NE(item, nullptr);
    TPropertyEditor editor(*host);
    ASSERT_TRUE(editor.ShowItem(item));
    EXPECT_EQ(editor.ShownMedia(), item);
    auto *title = editor.findChild<QLineEdit *>("edtTitle");
    auto *date = editor.findChild<QLineEdit *>("edtDate");
    auto *author = editor.findChild<QLineEdit *>("edtAuthor");
    auto *description = editor.findChild<QPlainTextEdit *>("meoDescription");
    auto type = [](QLineEdit *e, const QString &text) {
        e->setText(text);
        e->setModified(true);
    };
    EXPECT_TRUE(updates([&] { EXPECT_TRUE(editor.Apply()); }).isEmpty()) << "nothing changed";

    type(title, "Lighthouse at dusk");
    EXPECT_EQ(updates([&] { EXPECT_TRUE(editor.Apply()); }),
              QStringList{"update MediaData set title=? where OID=?"});
    type(date, "2019-07-14");
    type(author, "Ann");
    EXPECT_EQ(updates([&] { EXPECT_TRUE(editor.Apply()); }),
              QStringList{"update MediaData set InsertDate=?, Author=? where OID=?"});
    description->setPlainText("Red and white");
    description->document()->setModified(true);
    type(title, "Lighthouse");
    EXPECT_EQ(updates([&] { EXPECT_TRUE(editor.Apply()); }),
              QStringList{"update MediaData set title=?, description=? where OID=?"});
    EXPECT_EQ(value("select title from MediaData where OID=?", item->Rec.OID), "Lighthouse");
    EXPECT_EQ(value("select InsertDate from MediaData where OID=?", item->Rec.OID), "2019-07-14");

    // A date that names no day is refused, with the dialog's words, before anything is written;
    // the edits stay, and another item is not shown.
    src.ui.messages.clear();
    type(date, "2019-13-45");
    type(author, "Bob");
    EXPECT_TRUE(updates([&] { EXPECT_FALSE(editor.Apply()); }).isEmpty());
    EXPECT_EQ(src.ui.messages, QStringList{vkMessage("DateFormatError")});
    EXPECT_EQ(value("select Author from MediaData where OID=?", item->Rec.OID), "Ann");
    EXPECT_TRUE(date->isModified());
    TDbMedia *other = import("b.png", png(10, 10));
    EXPECT_FALSE(editor.ShowItem(other));
    EXPECT_EQ(editor.ShownMedia(), item);
    // Put right, the next Apply writes it, and the next item is shown.
    type(date, "2019-07-15");
    ASSERT_TRUE(editor.ShowItem(other));
    EXPECT_EQ(value("select Author from MediaData where OID=?", item->Rec.OID), "Bob");
    EXPECT_EQ(title->text(), "b.png");
    EXPECT_FALSE(title->isModified());
}

TEST_F(EditorsTest, AFolderIsEditedWithoutItsContentArea)
{
    TPropertyEditor editor(*host);
    ASSERT_TRUE(editor.ShowFolder(folder));
    auto *title = editor.findChild<QLineEdit *>("edtTitle");
    auto *date = editor.findChild<QLineEdit *>("edtDate");
    EXPECT_EQ(title->text(), "trip");
    title->setText("Trip 2019");
    title->setModified(true);
    date->setText("2019-07-01");
    date->setModified(true);
    EXPECT_EQ(updates([&] { EXPECT_TRUE(editor.Apply()); }),
              QStringList{"update Folder set Title=?, InsertDate=? where OID=?"});
    EXPECT_EQ(folder->Rec.Title, "Trip 2019");
    // An empty title is refused as a rename in the explorer refuses it.
    title->setText("  ");
    title->setModified(true);
    EXPECT_FALSE(editor.Apply());
    EXPECT_EQ(value("select Title from Folder where OID=?", folder->Rec.OID), "Trip 2019");
}

TEST_F(EditorsTest, LosingTheFocusWritesAndClosesUnlessPinned)
{
    TDbMedia *item = import("a.png", png(40, 30));
    TPropertyEditor editor(*host);
    ASSERT_TRUE(editor.ShowItem(item));
    auto *title = editor.findChild<QLineEdit *>("edtTitle");
    editor.setKeepOpen(true);
    title->setText("Kept");
    title->setModified(true);
    editor.FormDeactivate();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(value("select title from MediaData where OID=?", item->Rec.OID), "a.png");
    editor.setKeepOpen(false);
    editor.FormDeactivate();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(editor.ShownMedia(), nullptr);
    EXPECT_EQ(value("select title from MediaData where OID=?", item->Rec.OID), "Kept");
}

// ---------------------------------------------------------------------------------------------
// The print layout

TEST_F(EditorsTest, PrintLayoutBoxesRefuseWhatTheyCannotTake)
{
    TPrintForm form(src.ui);
    form.printer().setOutputFormat(QPrinter::PdfFormat);
    form.initPrinter();
    form.setPicture(QImage(QSize(200, 100), QImage::Format_RGB32));
    EXPECT_EQ(form.printerPage().dotsPerInch, 600);
    const PrintLayout before = form.layout();
    ASSERT_TRUE(before.isValid());
    EXPECT_EQ(before.print, QSize(1000, 500));

    // A margin below 0.5 becomes 0.5, and nothing moves.
    auto *left = form.findChild<QLineEdit *>("edtLeft");
    enter(left, "0.3");
    EXPECT_EQ(left->text(), "0.5");
    EXPECT_EQ(form.layout().destination, before.destination);
    enter(left, "abc");
    EXPECT_EQ(src.ui.messages.value(0), vkMessage("TransferFormatFailed"));
    enter(left, "2");
    EXPECT_EQ(left->text(), "2.0");
    EXPECT_EQ(form.layout().destination.topLeft(), QPoint(354, 0));

    // "Others" of 0 is refused rather than divided by.
    form.findChild<QAbstractButton *>("rdbZoomOut")->click();
    form.findChild<QAbstractButton *>("rdbOutOthers")->click();
    src.ui.messages.clear();
    enter(form.findChild<QLineEdit *>("edtZoomOut"), "0");
    EXPECT_EQ(src.ui.messages, QStringList{vkMessage("PrintZoomInvalid")});
    EXPECT_TRUE(form.layout().isValid());
    enter(form.findChild<QLineEdit *>("edtZoomOut"), "x");
    EXPECT_EQ(src.ui.messages.value(1), vkMessage("InvalidNumber"));
    enter(form.findChild<QLineEdit *>("edtZoomOut"), "4");
    EXPECT_EQ(form.layout().print, QSize(500, 250));
    EXPECT_EQ(form.findChild<QLineEdit *>("edtImageWidth")->text(), "2.1");

    // A typed width keeps the ratio.
    enter(form.findChild<QLineEdit *>("edtImageWidth"), "5");
    EXPECT_EQ(form.layout().print, QSize(1181, 590));
    // Full Page fills the area between the margins and takes the position and the scale away.
    form.findChild<QAbstractButton *>("ckbFullPage")->click();
    EXPECT_EQ(form.layout().print.width(), form.layout().margin.width());
    EXPECT_FALSE(form.findChild<QWidget *>("tbsPrintStyle")->isEnabled());
    EXPECT_FALSE(form.findChild<QLineEdit *>("edtImageWidth")->isEnabled());
}

TEST_F(EditorsTest, ThePrintedPageShowsThePictureWhereThePreviewShowsIt)
{
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    ASSERT_FALSE(pdftoppm.isEmpty()) << "pdftoppm (poppler-utils) renders the printed page";
    TPrintForm form(src.ui);
    const QString pdf = src.dir() + "/page.pdf";
    form.printer().setOutputFormat(QPrinter::PdfFormat);
    form.printer().setPageSize(QPageSize(QPageSize::A4));
    form.printer().setOutputFileName(pdf);
    form.initPrinter();
    QImage red(200, 100, QImage::Format_RGB32);
    red.fill(Qt::red);
    form.setPicture(red);
    for (const char *box : {"edtLeft", "edtRight", "edtTop", "edtBottom"})
        enter(form.findChild<QLineEdit *>(box), "2");
    form.findChild<QAbstractButton *>("rdbCenter")->click();
    form.PrintPreviewClick();
    EXPECT_TRUE(form.previewShown());
    const QRect shown = form.previewPictureRect();
    const QSize paper = form.previewPaperSize();
    ASSERT_TRUE(form.PrintClick());

    QProcess p;
    p.start(pdftoppm, {"-r", "100", "-png", "-singlefile", pdf, src.dir() + "/page"});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QImage page(src.dir() + "/page.png");
    ASSERT_FALSE(page.isNull());
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80)
                box = box.united(QRect(x, y, 1, 1));
        }
    // The same place as a share of the paper, to a pixel of the preview.
    const double kx = double(page.width()) / paper.width(), ky = double(page.height()) / paper.height();
    EXPECT_NEAR(box.left() / kx, shown.left(), 1.0);
    EXPECT_NEAR(box.top() / ky, shown.top(), 1.0);
    EXPECT_NEAR(box.width() / kx, shown.width(), 1.0);
    EXPECT_NEAR(box.height() / ky, shown.height(), 1.0);
    // Centred between 2 cm margins on A4 (827 x 1169 pixels at 100 dots an inch).
    EXPECT_NEAR(box.center().x(), 827 / 2.0, 2);
    EXPECT_NEAR(box.center().y(), 1169 / 2.0, 2);
}

} // namespace
