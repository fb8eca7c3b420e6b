// The slide explorer and the authoring dialogs over a real data source: the tree and its drops,
// the property dialogs' changes (the open slide's as steps of its history), the link dialog's
// choices and the refusals each dialog tells.
#include "AT_CBPropertyDlg.h"
#include "AT_DrawAttribute.h"
#include "DbFolder.h"
#include "AT_GradPanel.h"
#include "AT_LinkForm.h"
#include "AT_MediaPropertyDlg.h"
#include "AT_SlideExplorer.h"
#include "AT_SlidePrefDlg.h"
#include "AT_SlidePropertyDlg.h"
#include "Authormain.h"
#include "ObjectKinds.h"
#include "RecordStatements.h"
#include "Schema.h"
#include "SlideBack.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>

using namespace vk;

namespace {

class AuthoringDialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(src.connection);
        AuthoringSchemaCheck(src.connection);
        ASSERT_TRUE(work.isValid());
        src.connection.setTempFilePrefix(work.path() + QLatin1Char('/'));
        frame.screen = QSize(1024, 768);
        open();
        tour = window->NewClearBook("Tour", "Ann", "");
        extras = window->NewClearBook("Extras", "", "");
        ASSERT_TRUE(tour && extras);
        for (const char *t : {"A", "B", "C"})
            addSlide(tour, t);
        addSlide(extras, "X");
    }
    void TearDown() override
    {
        if (window)
            window->books().ClipboardClear(clipboard);
        window.reset();
    }
    void open()
    {
        window.reset();
        window = std::make_unique<TAuthorMain>(src.connection, src.ui, frame);
        window->clipboard = &clipboard;
        window->resize(900, 700);
        window->show();
        QCoreApplication::processEvents();
    }
    // The window as a restart finds it.
    void reopen()
    {
        open();
        tour = window->books().ClearBooks.value(0);
        extras = window->books().ClearBooks.value(1);
    }
    TDbSlide *addSlide(TDbClearBook *cb, const QString &title)
    {
        TDbSlide *s = window->NewSlide(cb, title, "", "");
        TsObject r;
        r.Obj_TypeId = ObjectKind::Button;
        r.Title = title + QStringLiteral(" button");
        r.Left = r.Top = 10;
        r.Width = 100;
        r.Height = 30;
        r.Left_S = r.Top_S = 10;
        r.Width_S = 100;
        r.Height_S = 30;
        r.Bar_Left = 0;
        r.Bar_Width = 500;
        r.Tag = 0;
        window->edited().requestAddObject(r);
        EXPECT_TRUE(window->SaveSlide());
        EXPECT_TRUE(window->CloseSlide());
        return s;
    }
    static QString titles(const TDbClearBook *cb)
    {
        QStringList out;
        for (const TDbSlide *s : cb->Slides)
            out << s->Rec.Slide_Title;
        return out.join(',');
    }
    QString picture(const QString &name)
    {
        QImage img(16, 12, QImage::Format_RGB32);
        img.fill(Qt::blue);
        const QString path = work.filePath(name);
        img.save(path, "PNG");
        return path;
    }

    TempDataSource src;
    QTemporaryDir work;
    AuthoringFrame frame;
    TSelectedList clipboard;
    std::unique_ptr<TAuthorMain> window;
    TDbClearBook *tour = nullptr, *extras = nullptr;
};

// The tree shows the ClearBooks, reads a ClearBook's slides when it opens, and a drag of a
// slide onto a node moves it (a copy with Ctrl) through the same drop the view makes.
TEST_F(AuthoringDialogsTest, TheExplorerShowsTheBooksAndItsDropsAreStored)
{
    reopen();
    TSlideExplorer *explorer = window->slideExplorer();
    ASSERT_TRUE(explorer);
    explorer->show();
    SlideTreeModel *m = explorer->model();
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(m->index(0, 0).data().toString(), QStringLiteral("Tour"));
    EXPECT_EQ(m->index(1, 0).data().toString(), QStringLiteral("Extras"));
    const QModelIndex book = m->index(0, 0);
    EXPECT_TRUE(m->hasChildren(book));
    EXPECT_EQ(m->rowCount(book), 0) << "read when the node opens";
    explorer->tree()->expand(book);
    QCoreApplication::processEvents();
    ASSERT_EQ(m->rowCount(book), 3);

    // B onto its own ClearBook's node: to the end.
    std::unique_ptr<QMimeData> drag(m->mimeData({m->index(1, 0, book)}));
    EXPECT_FALSE(m->canDropMimeData(drag.get(), Qt::MoveAction, -1, 0, m->index(0, 0, m->index(0, 0, book))))
        << "a slide is not dropped on an object";
    ASSERT_TRUE(m->dropMimeData(drag.get(), Qt::MoveAction, -1, 0, book));
    EXPECT_EQ(titles(tour), QStringLiteral("A,C,B"));
    EXPECT_EQ(m->index(2, 0, book).data().toString(), QStringLiteral("B")) << "the tree follows";
    // A copy of C into the other ClearBook, onto its slide X: after it.
    const QModelIndex other = m->index(1, 0);
    explorer->tree()->expand(other);
    drag.reset(m->mimeData({m->index(1, 0, book)}));
    ASSERT_TRUE(m->dropMimeData(drag.get(), Qt::CopyAction, -1, 0, m->index(0, 0, other)));
    EXPECT_EQ(titles(tour), QStringLiteral("A,C,B"));
    EXPECT_EQ(titles(extras), QStringLiteral("X,C"));
    ASSERT_EQ(m->rowCount(other), 2);

    reopen();
    EXPECT_EQ(titles(tour), QStringLiteral("A,C,B")) << "after a restart";
    EXPECT_EQ(titles(extras), QStringLiteral("X,C"));
}

// Design objects dragged off the surface onto the tree: onto another slide's node a copy (Ctrl)
// or a move, stored there at once; the open slide loses the moved ones as one step of its
// history. A ClearBook node refuses them.
TEST_F(AuthoringDialogsTest, SurfaceObjectsDroppedOnTheTreeGoToThatSlide)
{
    TSlideExplorer *explorer = window->slideExplorer();
    explorer->show();
    SlideTreeModel *m = explorer->model();
    const QModelIndex book = m->index(0, 0), other = m->index(1, 0);
    explorer->tree()->expand(book);
    explorer->tree()->expand(other);
    ASSERT_TRUE(window->OpenSlide(tour->Slides[0]));
    EditedSlide &edited = window->edited();
    TsObject r = edited.objects().first()->Rec;
    r.Obj_TypeId = ObjectKind::Rectangle;
    r.Title = QStringLiteral("frame");
    r.Spec_Property2.clear();
    ASSERT_TRUE(edited.requestAddObject(r));
    edited.selectAll();
    auto surfaceDrag = [&] {
        auto *data = new QMimeData;
        data->setData(QLatin1String(SurfaceObjectsMimeType),
                      QByteArray::number(quintptr(window->books().ActiveSlide)));
        return std::unique_ptr<QMimeData>(data);
    };
    auto design = [](const TDbSlide *s) {
        QStringList out;
        for (const TDbObject *o : s->Objects.DesignOrder)
            out << o->Rec.Title;
        return out.join(',');
    };
    std::unique_ptr<QMimeData> drag = surfaceDrag();
    EXPECT_FALSE(m->canDropMimeData(drag.get(), Qt::CopyAction, -1, 0, book));
    explorer->tree()->expand(m->index(0, 0, other));
    QCoreApplication::processEvents();

    // A copy onto X, which is stored at once; A keeps both.
    ASSERT_TRUE(m->dropMimeData(drag.get(), Qt::CopyAction, -1, 0, m->index(0, 0, other)));
    EXPECT_EQ(design(extras->Slides[0]), QStringLiteral("X button,A button,frame"));
    EXPECT_EQ(edited.objects().size(), 2);
    EXPECT_EQ(m->rowCount(m->index(0, 0, other)), 3) << "the tree follows";

    // A move of the frame after B's button.
    edited.selectOnly(edited.objects().last());
    drag = surfaceDrag();
    const QModelIndex slideB = m->index(1, 0, book);
    explorer->tree()->expand(slideB);
    QCoreApplication::processEvents();
    ASSERT_EQ(m->rowCount(slideB), 1);
    ASSERT_TRUE(m->dropMimeData(drag.get(), Qt::MoveAction, -1, 0, m->index(0, 0, slideB)));
    EXPECT_EQ(design(tour->Slides[1]), QStringLiteral("B button,frame"));
    EXPECT_EQ(design(tour->Slides[0]), QStringLiteral("A button"));
    ASSERT_TRUE(window->SaveSlide());

    // Stored: a restart finds them.
    reopen();
    EXPECT_EQ(design(extras->Slides[0]), QStringLiteral("X button,A button,frame"));
    EXPECT_EQ(design(tour->Slides[1]), QStringLiteral("B button,frame"));
}

// Dragging an object node of the open slide before or after another changes the slide's design
// order (its object nodes and timeline rows) as one step; the stack on the surface stays.
TEST_F(AuthoringDialogsTest, ReorderingTheOpenSlidesObjectsFromTheTreeIsOneStep)
{
    TSlideExplorer *explorer = window->slideExplorer();
    explorer->show();
    SlideTreeModel *m = explorer->model();
    const QModelIndex book = m->index(0, 0);
    explorer->tree()->expand(book);
    ASSERT_TRUE(window->OpenSlide(tour->Slides[0]));
    EditedSlide &edited = window->edited();
    TsObject r = edited.objects().first()->Rec;
    r.Obj_TypeId = ObjectKind::Ellipse;
    r.Title = QStringLiteral("dot");
    r.Spec_Property2.clear();
    TDbObject *dot = edited.requestAddObject(r);
    ASSERT_TRUE(dot);
    TDbObject *button = edited.objects().first();
    QCoreApplication::processEvents();
    const QModelIndex slide = m->index(0, 0, book);
    explorer->tree()->expand(slide);
    ASSERT_EQ(m->rowCount(slide), 2);
    const QList<TDbObject *> stack = edited.objects();

    // The dot above the first object node: first in the design order.
    std::unique_ptr<QMimeData> drag(m->mimeData({m->index(1, 0, slide)}));
    ASSERT_TRUE(m->dropMimeData(drag.get(), Qt::MoveAction, 0, 0, slide));
    QCoreApplication::processEvents();
    EXPECT_EQ(edited.slide()->Objects.DesignOrder, (QList<TDbObject *>{dot, button}));
    EXPECT_EQ(m->index(0, 0, slide).data().toString(), QStringLiteral("dot")) << "the tree follows";
    EXPECT_EQ(edited.objects(), stack);
    ASSERT_TRUE(window->Undo());
    QCoreApplication::processEvents();
    EXPECT_EQ(edited.slide()->Objects.DesignOrder, (QList<TDbObject *>{button, dot}));
    EXPECT_EQ(m->index(0, 0, m->index(0, 0, book)).data().toString(), QStringLiteral("A button"));
    ASSERT_TRUE(window->Undo());
    EXPECT_EQ(edited.slide()->Objects.DesignOrder.size(), 1) << "the reorder was one step: this undo took the dot";

    // Dropped onto itself: nothing, no step.
    ASSERT_TRUE(window->Redo());
    ASSERT_TRUE(window->Redo());
    QCoreApplication::processEvents();
    const QModelIndex again = m->index(0, 0, book);
    explorer->tree()->expand(again);
    drag.reset(m->mimeData({m->index(0, 0, again)}));
    EXPECT_FALSE(m->dropMimeData(drag.get(), Qt::MoveAction, -1, 0, m->index(0, 0, again)));
    ASSERT_TRUE(window->SaveSlide());
    reopen();
    ASSERT_TRUE(window->OpenSlide(tour->Slides[0]));
    EXPECT_EQ(window->edited().slide()->Objects.DesignOrder.first()->Rec.Title, QStringLiteral("dot"));
}

// The Graphic Attribute dialog: one shape's attributes shown, several shapes' lists empty; what
// it chose changes the shapes as one step, and only what was chosen.
TEST_F(AuthoringDialogsTest, TheGraphicAttributeDialogChangesOnlyWhatWasChosen)
{
    ASSERT_TRUE(window->OpenSlide(tour->Slides[0]));
    EditedSlide &edited = window->edited();
    TsObject r = edited.objects().first()->Rec;
    r.Obj_TypeId = ObjectKind::Rectangle;
    r.Title = QStringLiteral("box");
    r.Spec_Property2.clear();
    TDbObject *box = edited.requestAddObject(r);
    r.Obj_TypeId = ObjectKind::Ellipse;
    TDbObject *ring = edited.requestAddObject(r);
    ASSERT_TRUE(box && ring);

    edited.selectOnly(box);
    {
        TDrawAttributeFrm one({box});
        EXPECT_EQ(one.windowTitle(), QStringLiteral("Graphic Attribute"));
        EXPECT_EQ(one.penWidth->currentText(), QStringLiteral("1 Point "));
        EXPECT_EQ(one.brushStyle->currentIndex(), 0);
        one.brushStyle->setCurrentIndex(6); // cross
        one.setBrushColor(0x00FFFF);
        ASSERT_TRUE(window->SetGraphicChoice(one.choice()));
    }
    EXPECT_EQ(box->Props.BrushStyle, 6);
    EXPECT_EQ(box->Props.BrushColor, 0x00FFFF);

    edited.setSelection({box, ring});
    TDrawAttributeFrm several({box, ring});
    for (QComboBox *list : {several.brushStyle, several.penStyle, several.penWidth, several.arrow})
        EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_FALSE(several.touch->isChecked());
    several.penWidth->setCurrentIndex(5);
    several.arrow->setCurrentIndex(2);
    ASSERT_TRUE(window->SetGraphicChoice(several.choice()));
    EXPECT_EQ(box->Props.PenWidth, 6);
    EXPECT_EQ(ring->Props.PenWidth, 6);
    EXPECT_EQ(ring->Props.Arrow, 2);
    EXPECT_EQ(box->Props.BrushStyle, 6) << "the box keeps its brush";
    EXPECT_EQ(ring->Props.BrushStyle, 0);
    ASSERT_TRUE(window->Undo());
    EXPECT_EQ(ring->Props.PenWidth, 1);
    EXPECT_EQ(box->Props.BrushStyle, 6);

    // Nothing chosen on several shapes changes nothing; a width beyond the list is told.
    EXPECT_FALSE(window->SetGraphicChoice(TDrawAttributeFrm({box, ring}).choice()));
    GraphicChoice wide;
    wide.penWidth = 12;
    EXPECT_FALSE(window->SetGraphicChoice(wide));
    EXPECT_EQ(src.ui.messages.last(), QStringLiteral("The pen width must be from 1 to 6 points."));
}

// Renaming a node and deleting from the tree go to the models; the open slide's rename is a
// step of its history.
TEST_F(AuthoringDialogsTest, RenamingAndDeletingNodes)
{
    TSlideExplorer *explorer = window->slideExplorer();
    SlideTreeModel *m = explorer->model();
    const QModelIndex book = m->index(0, 0);
    explorer->tree()->expand(book);
    EXPECT_TRUE(m->setData(book, QStringLiteral("Grand Tour"), Qt::EditRole));
    EXPECT_FALSE(m->setData(book, QString(), Qt::EditRole)) << "a title stays";
    EXPECT_FALSE(m->setData(book, QString(128, 'x'), Qt::EditRole));
    ASSERT_TRUE(window->OpenSlide(tour->Slides[0]));
    EXPECT_TRUE(m->setData(m->index(0, 0, book), QStringLiteral("Start"), Qt::EditRole));
    EXPECT_TRUE(window->edited().canUndo());
    EXPECT_TRUE(window->SaveSlide());
    EXPECT_TRUE(m->setData(m->index(1, 0, book), QStringLiteral("Middle"), Qt::EditRole));

    src.ui.answer = true;
    explorer->select(tour->Slides[2]);
    explorer->NodeDeleteClick();
    EXPECT_EQ(src.ui.questions.last(), QStringLiteral("Are you sure you want to delete this slide?\n\r'C'"));
    reopen();
    EXPECT_EQ(tour->Rec.CB_Title, QStringLiteral("Grand Tour"));
    EXPECT_EQ(titles(tour), QStringLiteral("Start,Middle"));
}

// The slide property dialog on the open slide: its choices are one step, undone as one.
TEST_F(AuthoringDialogsTest, TheSlidePropertyDialogChangesTheOpenSlideAsOneStep)
{
    ASSERT_TRUE(window->OpenSlide(tour->Slides[0]));
    TDbSlide *s = window->books().ActiveSlide;
    TSlidePropertyForm form(window->books(), work.path());
    form.fill(s);
    EXPECT_TRUE(form.rdbPause->isChecked());
    EXPECT_FALSE(form.trvJump->isEnabled());
    EXPECT_EQ(form.ObjectTreeView->topLevelItemCount(), 1);
    form.rdbRepeat->setChecked(true);
    form.background->setColor(0x800000); // navy
    form.background->setGradient(true);
    ASSERT_TRUE(form.background->choosePicture(picture("back.png")));
    form.background->setStyle(1);
    form.TitleEdit->setText(QStringLiteral("Opening"));
    ASSERT_TRUE(window->SetSlideProperties(s, form.result()));
    EXPECT_EQ(s->Rec.Jump_Slide_Id, EndingAction::Repeat);
    EXPECT_EQ(s->Rec.Slide_Gradient, 1);
    EXPECT_EQ(window->surface()->beginColor(), ColorValue(0x800000)) << "the surface shows it";
    EXPECT_EQ(window->surface()->endColor(), clWhite);
    EXPECT_TRUE(window->books().SlideModified);
    ASSERT_TRUE(window->Undo());
    EXPECT_EQ(s->Rec.Jump_Slide_Id, EndingAction::Pause);
    EXPECT_EQ(s->Rec.Slide_Title, QStringLiteral("A"));
    EXPECT_TRUE(s->Rec.Slide_BGround.isEmpty());
    ASSERT_TRUE(window->Redo());
    ASSERT_TRUE(window->SaveSlide());

    // A jump to a slide of the other ClearBook, chosen in the tree.
    form.fill(s);
    EXPECT_TRUE(form.rdbRepeat->isChecked());
    form.rdbJump->setChecked(true);
    EXPECT_TRUE(form.trvJump->isEnabled());
    form.trvJump->setCurrentItem(form.trvJump->topLevelItem(1)->child(0));
    ASSERT_TRUE(window->SetSlideProperties(s, form.result()));
    ASSERT_TRUE(window->SaveSlide());
    reopen();
    const TsSlide &r = tour->Slides[0]->Rec;
    EXPECT_EQ(r.Slide_Title, QStringLiteral("Opening"));
    EXPECT_EQ(r.Jump_CB_Id, extras->Rec.CB_Id);
    EXPECT_EQ(r.Jump_Slide_Id, extras->Slides[0]->Rec.Slide_Id);
    EXPECT_EQ(r.Slide_BGroundX, QStringLiteral("1"));
    EXPECT_TRUE(QFileInfo(r.Slide_BGround).isFile()) << "the picture is the data source's";
}

// The background's refusals and its work files: a kind that is no wallpaper, a file that is no
// picture, and two pictures chosen that never share a work file.
TEST_F(AuthoringDialogsTest, TheBackgroundRefusesWhatItCannotShow)
{
    TPreferenceDlg dialog(&src.ui, work.path());
    dialog.fill(SlideProperties());
    const QString gif = work.filePath("anim.gif");
    QFile(picture("anim.png")).copy(gif);
    EXPECT_FALSE(dialog.box()->choosePicture(gif));
    EXPECT_EQ(src.ui.messages.last(), QStringLiteral("This format is invalid for wallpaper!"));
    QFile broken(work.filePath("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    EXPECT_FALSE(dialog.box()->choosePicture(broken.fileName()));
    EXPECT_TRUE(src.ui.messages.last().startsWith(QStringLiteral("The picture ")));
    EXPECT_FALSE(dialog.box()->pictureChanged);

    ASSERT_TRUE(dialog.box()->choosePicture(picture("one.png")));
    const QString first = dialog.box()->picturePath();
    ASSERT_TRUE(dialog.box()->choosePicture(picture("two.png")));
    EXPECT_NE(dialog.box()->picturePath(), first) << "a new work file for each picture";
    EXPECT_TRUE(QFileInfo(first).isFile()) << "the first stays for the slide that may hold it";
    // The slide property dialog takes the other picture kinds as bitmaps.
    const QString tif = work.filePath("scan.tif");
    ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(tif, "TIFF"));
    TSlidePropertyForm form(window->books(), work.path());
    form.fill(tour->Slides[0]);
    ASSERT_TRUE(form.background->choosePicture(tif));
    EXPECT_TRUE(form.background->picturePath().endsWith(QStringLiteral(".bmp")));
}

// The ClearBook dialog empties its description before each read: a failed read shows nothing
// of the ClearBook shown before, and OK then writes nothing over the next one's.
TEST_F(AuthoringDialogsTest, TheClearBookDescriptionNeverCarriesOver)
{
    ASSERT_TRUE(WriteDescription(src.connection, tour->Rec.OID, QStringLiteral("Tour notes"), RecordKind::ClearBook));
    TCBPropertyForm form(window->books());
    form.fill(tour);
    EXPECT_EQ(form.Description->toPlainText(), QStringLiteral("Tour notes"));
    EXPECT_EQ(form.SlideTreeView->topLevelItemCount(), 3);
    const QString oid = extras->Rec.OID;
    extras->Rec.OID = QStringLiteral("000000000000999999"); // its read fails
    form.fill(extras);
    extras->Rec.OID = oid;
    EXPECT_TRUE(form.Description->toPlainText().isEmpty());
    form.AuthorEdit->setText(QStringLiteral("Bob"));
    ASSERT_TRUE(form.apply());
    QString text;
    ASSERT_TRUE(ReadDescription(src.connection, extras->Rec.OID, RecordKind::ClearBook, &text));
    EXPECT_TRUE(text.isEmpty());

    form.fill(tour);
    form.TitleEdit->setText(QStringLiteral("Tour 2"));
    form.Description->clear();
    form.Description->insertPlainText(QStringLiteral("new notes"));
    ASSERT_TRUE(form.apply());
    reopen();
    EXPECT_EQ(tour->Rec.CB_Title, QStringLiteral("Tour 2"));
    EXPECT_EQ(extras->Rec.CB_Author, QStringLiteral("Bob"));
    ASSERT_TRUE(ReadDescription(src.connection, tour->Rec.OID, RecordKind::ClearBook, &text));
    EXPECT_EQ(text, QStringLiteral("new notes"));
}

// The link dialog: the source, the fixed kinds with their texts and codes, a slide chosen, a
// ClearBook refused; and the button linked to the next slide is stored so.
TEST_F(AuthoringDialogsTest, TheLinkDialogsChoices)
{
    ASSERT_TRUE(window->OpenSlide(tour->Slides[0]));
    TDbSlide *s = window->books().ActiveSlide;
    TDbObject *button = s->Objects.Objects[0];
    TLinkForm form(window->books());
    form.fill({button});
    EXPECT_EQ(form.labSourceBook->text(), QStringLiteral("Tour"));
    EXPECT_EQ(form.labSourceObject->text(), QStringLiteral("A button"));
    EXPECT_EQ(form.clearBookText(), QStringLiteral("<None>"));
    form.rdbReplay->setChecked(true);
    EXPECT_EQ(form.clearBookText(), QStringLiteral("-"));
    EXPECT_EQ(form.slideText(), QStringLiteral("<Replay>"));
    EXPECT_EQ(form.linkCBId(), 0);
    EXPECT_EQ(form.linkSlideId(), -4);
    EXPECT_FALSE(form.trvSlides->isEnabled());
    form.rdbSelect->setChecked(true);
    EXPECT_TRUE(form.trvSlides->isEnabled());
    form.trvSlides->setCurrentItem(form.trvSlides->topLevelItem(1));
    EXPECT_FALSE(form.changeLink());
    EXPECT_EQ(src.ui.messages.last(), QStringLiteral("Unable to link clearbook!"));
    form.trvSlides->setCurrentItem(form.trvSlides->topLevelItem(1)->child(0));
    ASSERT_TRUE(form.changeLink());
    EXPECT_EQ(form.clearBookText(), QStringLiteral("Extras"));
    EXPECT_EQ(form.slideText(), QStringLiteral("X"));
    EXPECT_EQ(form.linkSlideId(), extras->Slides[0]->Rec.Slide_Id);
    form.clearLink();
    EXPECT_EQ(form.linkSlideId(), 0);
    EXPECT_EQ(form.slideText(), QStringLiteral("<None>"));

    TLinkForm several(window->books());
    several.fill({button, button, button});
    EXPECT_EQ(several.labSourceObject->text(), QStringLiteral("(Multiple)"));

    form.rdbNext->setChecked(true);
    window->edited().selectOnly(button);
    window->SetLink(form.linkCBId(), form.linkSlideId());
    ASSERT_TRUE(window->SaveSlide());
    TMediaPropertyForm media;
    media.fill(button);
    EXPECT_EQ(media.SlideLinkEdit->text(), QStringLiteral("(Next)"));
    reopen();
    EXPECT_EQ(tour->Slides[0]->Objects.Objects[0]->Rec.Obj_Link_SlideId, -1);
}

// The media property dialog's title goes to the object: the open slide's as a step, another
// slide's written at once.
TEST_F(AuthoringDialogsTest, AnObjectsTitleFromItsDialog)
{
    TDbObject *other = tour->Slides[1]->Objects.Objects[0];
    TMediaPropertyForm form;
    form.fill(other);
    EXPECT_EQ(form.MediaTypeEdit->text(), QStringLiteral("Button"));
    EXPECT_EQ(form.CBLinkEdit->text(), QStringLiteral("None"));
    ASSERT_TRUE(window->RenameObject(other, QStringLiteral("Go on")));
    ASSERT_TRUE(window->OpenSlide(tour->Slides[0]));
    TDbObject *mine = window->books().ActiveSlide->Objects.Objects[0];
    ASSERT_TRUE(window->RenameObject(mine, QStringLiteral("Start")));
    EXPECT_TRUE(window->edited().canUndo());
    ASSERT_TRUE(window->SaveSlide());
    reopen();
    EXPECT_EQ(tour->Slides[0]->Objects.Objects[0]->Rec.Title, QStringLiteral("Start"));
    EXPECT_EQ(tour->Slides[1]->Objects.Objects[0]->Rec.Title, QStringLiteral("Go on"));
}

} // namespace
