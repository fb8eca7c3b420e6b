// A ClearBook exported as a web page: the folder vkctl writes, the web player's timeline against
// the desktop play engine's trace, and the page opened from disk in headless Chromium.
#include "PictureFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <sys/stat.h>

namespace {

using namespace fixtures;

struct Result
{
    int code = -1;
    QString out, err;
};

class WebPageTest : public ::testing::Test
{
protected:
    Result run(const QString &program, const QStringList &args, int timeoutMs = 60000)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CACHE_HOME", home.path() + "/cache");
        env.insert("NODE_PATH", QStringLiteral(WEB_NODE_MODULES));
        p.setProcessEnvironment(env);
        p.start(program, args);
        if (!p.waitForFinished(timeoutMs))
            p.kill();
        p.waitForFinished();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    Result vkctl(const QStringList &args) { return run(QStringLiteral(VKCTL_PATH), args); }
    static QString node() { return QStandardPaths::findExecutable(QStringLiteral("node")); }
    static QString script(const char *name) { return QStringLiteral(WEB_SCRIPTS "/") + QLatin1String(name); }

    void SetUp() override { ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0); }

    // A ClearBook made from a document; its OID.
    QString importBook(const QString &json)
    {
        QFile file(home.path() + "/book.json");
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(json.toUtf8());
        file.close();
        const Result r = vkctl({"book", "import-json", file.fileName()});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return r.out.trimmed();
    }

    // The document the page in `dir` holds.
    static QJsonObject pageDocument(const QString &dir)
    {
        QFile f(dir + "/index.html");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QString html = QString::fromUtf8(f.readAll());
        const QRegularExpressionMatch m =
            QRegularExpression(R"re(<script type="application/json" id="clearbook">(.*?)</script>)re",
                               QRegularExpression::DotMatchesEverythingOption)
                .match(html);
        return QJsonDocument::fromJson(m.captured(1).toUtf8()).object();
    }

    QTemporaryDir home;
};

// A WAV file of a tenth of a second of silence, which a browser can load.
QByteArray silentWav()
{
    const quint32 samples = 800;
    QByteArray b("RIFF");
    put32(b, 36 + samples);
    b += "WAVEfmt ";
    put32(b, 16);
    put16(b, 1);
    put16(b, 1);
    put32(b, 8000);
    put32(b, 8000);
    put16(b, 1);
    put16(b, 8);
    b += "data";
    put32(b, samples);
    b += QByteArray(int(samples), char(0x80));
    return b;
}

QString flagJson(int id, int start, const QString &name, int type, int loopEnd, const QString &jumpTo,
                 int active, int associated)
{
    return QString(R"({"id": %1, "startTime": %2, "name": "%3", "type": %4, "loopEnd": %5, "jumpTo": "%6",
                       "activeType": %7, "timeAssociated": %8})")
        .arg(id)
        .arg(start)
        .arg(name)
        .arg(type)
        .arg(loopEnd)
        .arg(jumpTo)
        .arg(active)
        .arg(associated);
}

// The share of pixels on which two pictures differ by more than a font's edge may.
double differingShare(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    qint64 differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d =
                std::max({std::abs(qRed(p[col]) - qRed(q[col])), std::abs(qGreen(p[col]) - qGreen(q[col])),
                          std::abs(qBlue(p[col]) - qBlue(q[col]))});
            if (d > 48)
                ++differing;
        }
    }
    return double(differing) / (double(x.width()) * x.height());
}

// The web player's timeline and the desktop's play engine, event for event, on ClearBooks that
// hold every kind of flag, sounds, links between slides and each ending action.
TEST_F(WebPageTest, TimelineTracesAgreeWithTheDesktopPlayer)
{
    if (node().isEmpty())
        GTEST_SKIP() << "node is not installed: the web player's timeline cannot be run";
    QFile sound(home.path() + "/sound.wav");
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
    sound.write(silentWav());
    sound.close();
    const QString soundMedia = QString(R"({"file": "%1/sound.wav"})").arg(home.path());

    // Slide 1: a counted loop holding a label, a delay, a jump over a stretch to its label, a
    // pause for a click, "next" at its end; slide 2: a time-limited loop and a stop.
    const QString timing =
        QString(R"({"vellumark": "clearbook", "version": 1, "title": "Timing",
      "slides": [
        {"title": "Intro", "ending": "sequence",
         "objects": [
           {"kind": 451, "title": "Box", "barLeft": 0, "barWidth": 300},
           {"kind": 101, "title": "sound.wav", "media": %1, "barLeft": 100, "barWidth": 200},
           {"kind": 410, "title": "Caption", "caption": "Hi", "barLeft": 200, "barWidth": 400}],
         "flags": [%2, %3, %4, %5, %6, %7]},
        {"title": "Outro", "ending": "pause",
         "objects": [{"kind": 453, "title": "Dot", "barLeft": 0, "barWidth": 300}],
         "flags": [%8, %9]}]})")
            .arg(soundMedia, flagJson(1, 100, "L", 0, 200, "", 1, 1), flagJson(2, 150, "Mid", 2, 0, "", 0, 0),
                 flagJson(3, 250, "D", 3, 0, "", 0, 50), flagJson(4, 350, "J", 1, 0, "Lab", 0, 0),
                 flagJson(5, 450, "Lab", 2, 0, "", 0, 0), flagJson(6, 500, "P", 5, 0, "", 0, 0),
                 flagJson(1, 0, "T", 0, 100, "", 0, 250), flagJson(2, 200, "S", 4, 0, "", 0, 0));
    // Loops inside loops (a counted one in a time-limited one), a delay inside a loop, a pause
    // for a key, a jump whose label is gone, a sound whose bar outlasts a loop; the ending
    // replays the slide until the limit.
    const QString nested =
        QString(R"({"vellumark": "clearbook", "version": 1, "title": "Nested",
      "slides": [
        {"title": "Only", "ending": "repeat",
         "objects": [
           {"kind": 452, "title": "Frame", "barLeft": 0, "barWidth": 900},
           {"kind": 101, "title": "hum", "media": %1, "barLeft": 50, "barWidth": 700},
           {"kind": 410, "title": "Late", "caption": "Late", "barLeft": 600, "barWidth": 200}],
         "flags": [%2, %3, %4, %5, %6, %7]}]})")
            .arg(soundMedia, flagJson(1, 100, "Outer", 0, 500, "", 0, 900),
                 flagJson(2, 150, "Inner", 0, 250, "", 1, 2), flagJson(3, 200, "Hold", 3, 0, "", 0, 30),
                 flagJson(4, 520, "Key", 5, 0, "", 1, 0), flagJson(5, 540, "Nowhere", 1, 0, "Gone", 0, 0),
                 flagJson(6, 700, "Tag", 2, 0, "", 0, 0));
    // Links between slides: slide 1 leads to slide 3, slide 3 to slide 2 (whose delay holds
    // it), slide 2 on to the next, over and over until the limit.
    const QString links = QString(R"({"vellumark": "clearbook", "version": 1, "title": "Links",
      "slides": [
        {"title": "One", "ending": {"slide": 2},
         "objects": [{"kind": 451, "title": "A", "barLeft": 0, "barWidth": 150}], "flags": []},
        {"title": "Two", "ending": "sequence",
         "objects": [{"kind": 451, "title": "B", "barLeft": 50, "barWidth": 100}], "flags": [%1]},
        {"title": "Three", "ending": {"slide": 1},
         "objects": [{"kind": 453, "title": "C", "barLeft": 0, "barWidth": 120},
                     {"kind": 410, "title": "D", "caption": "d", "barLeft": 60, "barWidth": 20}], "flags": []}]})")
                              .arg(flagJson(1, 40, "Wait", 3, 0, "", 0, 70));

    struct Case
    {
        const char *title;
        QString json;
        QStringList options;
    } cases[] = {
        {"Timing", timing, {}},
        {"Timing", timing, {"--resume-after", "0.5"}},
        {"Timing", timing, {"--slide", "2", "--limit", "1.5"}},
        {"Nested", nested, {"--limit", "40"}},
        {"Nested", nested, {"--limit", "40", "--resume-after", "2.25"}},
        {"Links", links, {"--limit", "20"}},
        {"Links", links, {"--slide", "2", "--limit", "20"}},
    };
    QStringList made;
    for (const Case &k : cases) {
        if (!made.contains(k.title)) {
            importBook(k.json);
            made << k.title;
        }
        const QString dir = home.path() + "/web-" + k.title;
        Result r = vkctl({"book", "export-html", k.title, dir});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const Result desktop = vkctl(QStringList{"book", "play", k.title, "--trace"} + k.options);
        ASSERT_EQ(desktop.code, 0) << desktop.err.toStdString();
        const Result web = run(node(), QStringList{script("trace.js"), dir + "/index.html"} + k.options);
        ASSERT_EQ(web.code, 0) << web.err.toStdString();
        EXPECT_GT(desktop.out.count('\n'), 5);
        EXPECT_EQ(web.out.toStdString(), desktop.out.toStdString())
            << k.title << " " << k.options.join(' ').toStdString();
    }

    // A slide's ending leads into another ClearBook, which the page carries along.
    importBook(R"({"vellumark": "clearbook", "version": 1, "title": "Extra",
      "slides": [{"title": "Away", "ending": "sequence",
                  "objects": [{"kind": 451, "title": "Far", "barLeft": 0, "barWidth": 150}]}]})");
    const Result listed = vkctl({"book", "ls"});
    const QRegularExpressionMatch ids =
        QRegularExpression("(?m)^book\t\\d+\t(\\d+)\tExtra\t.*\n^slide\t\\d+\t(\\d+)\tAway")
            .match(listed.out);
    ASSERT_TRUE(ids.hasMatch()) << listed.out.toStdString();
    importBook(QString(R"({"vellumark": "clearbook", "version": 1, "title": "Travel",
      "slides": [{"title": "Home", "ending": {"clearBookId": %1, "slideId": %2},
                  "objects": [{"kind": 451, "title": "Near", "barLeft": 0, "barWidth": 100}], "flags": [%3]}]})")
                   .arg(ids.captured(1), ids.captured(2), flagJson(1, 50, "Rest", 3, 0, "", 0, 40)));
    const QString dir = home.path() + "/web-Travel";
    ASSERT_EQ(vkctl({"book", "export-html", "Travel", dir}).code, 0);
    const Result desktop = vkctl({"book", "play", "Travel", "--trace"});
    ASSERT_TRUE(desktop.out.contains("\tbook\tExtra\n")) << desktop.out.toStdString();
    EXPECT_EQ(run(node(), {script("trace.js"), dir + "/index.html"}).out.toStdString(),
              desktop.out.toStdString());
}

// The folder holds the page, its script and style sheet and the copies of the media under names
// of its own making: no title or file name reaches outside it or into the page's markup.
TEST_F(WebPageTest, ExportWritesOnlyInsideItsFolder)
{
    const QString hostile = R"(</script><script>alert("x")</script> & <!-- ../..)";
    QDir().mkpath(home.path() + "/in");
    // A picture of the library linked where it lies under an odd name, a linked PCX picture, and
    // a linked sound whose file is gone.
    const QString odd = home.path() + "/in/a b;$(x)`'\".png";
    testCard(40, 30).save(odd, "PNG");
    writeFile(home.path() + "/in/old.pcx", magickEncoded(testCard(40, 30), "PCX"));
    writeFile(home.path() + "/in/gone.wav", silentWav());
    ASSERT_EQ(vkctl({"folder", "add", "Pics"}).code, 0);
    Result r = vkctl({"import", "Pics", odd, "--external"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString item = r.out.trimmed();
    const QString json =
        QString(R"({"vellumark": "clearbook", "version": 1, "title": %1,
      "slides": [{"title": %1, "ending": "pause", "background": {"link": "%2/in/old.pcx"}, "backgroundStyle": "2",
        "objects": [
          {"kind": 5, "title": %1, "media": {"library": "%3"}, "barLeft": 0, "barWidth": 100},
          {"kind": 4, "title": "old", "media": {"link": "%2/in/old.pcx"}, "barLeft": 0, "barWidth": 100},
          {"kind": 101, "title": "gone", "media": {"link": "%2/in/gone.wav"}, "barLeft": 0, "barWidth": 100},
          {"kind": 410, "title": %1, "caption": %1, "barLeft": 0, "barWidth": 100}]}]})")
            .arg(QString::fromUtf8(QJsonDocument(QJsonArray{hostile}).toJson(QJsonDocument::Compact))
                     .mid(1)
                     .chopped(1),
                 home.path(), item);
    const QString book = importBook(json);
    ASSERT_FALSE(book.isEmpty());
    QFile::remove(home.path() + "/in/gone.wav");

    const QString dir = home.path() + "/out/web";
    r = vkctl({"book", "export-html", book, dir});
    ASSERT_EQ(r.code, 2) << "written, the sound that is gone left out: " << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("gone.wav: the file is not there")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("converted ")) << r.err.toStdString();

    EXPECT_EQ(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"index.html", "media", "player.css", "player.js"}));
    EXPECT_EQ(QDir(home.path() + "/out").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"web"}));
    const QStringList copies =
        QDir(dir + "/media").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    ASSERT_EQ(copies.size(), 3) << copies.join(' ').toStdString()
                                << ": the library's picture, and the background and the picture copied in";
    for (const QString &name : copies)
        EXPECT_TRUE(QRegularExpression("^[0-9]{3}-[A-Za-z0-9_-][A-Za-z0-9._-]*$").match(name).hasMatch())
            << name.toStdString();
    EXPECT_EQ(copies.filter(QRegularExpression("\\.png$")).size(), 3)
        << "the PCX pictures are written as PNG";

    QFile page(dir + "/index.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    EXPECT_FALSE(html.contains("<script>alert")) << "nothing of a title is markup";
    EXPECT_FALSE(html.contains("<!-- .."));
    const QJsonObject doc = pageDocument(dir);
    EXPECT_EQ(doc.value("title").toString(), hostile);
    const QJsonObject slide = doc.value("slides").toArray().at(0).toObject();
    const QJsonArray objects = slide.value("objects").toArray();
    ASSERT_EQ(objects.size(), 4);
    EXPECT_EQ(objects[0].toObject().value("look").toObject().value("src").toString(),
              "media/" + copies.filter("a_b").value(0));
    EXPECT_TRUE(objects[2].toObject().value("look").toObject().value("src").isNull())
        << "the sound that is gone";
    const QString background = slide.value("look").toObject().value("picture").toString();
    EXPECT_TRUE(background.startsWith("media/") && QFileInfo::exists(dir + "/" + background))
        << background.toStdString();

    // Exported again over itself: the same folder, nothing added.
    r = vkctl({"book", "export-html", book, dir});
    ASSERT_EQ(r.code, 2) << r.err.toStdString();
    EXPECT_EQ(QDir(dir + "/media").entryList(QDir::Files).size(), 3);

    // Never into the library's own file-object directory.
    r = vkctl({"book", "export-html", book, home.path() + "/data/Quorient/Vellumark/svkbook/folder/web"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("file-object directory")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/data/Quorient/Vellumark/svkbook/folder/web/index.html"));
    EXPECT_EQ(vkctl({"book", "export-html", "No such book", dir}).code, 1);
    EXPECT_EQ(vkctl({"book", "export-html", book}).code, 2);
}

// A folder holding some other page keeps it; a row naming a file of its own choosing publishes
// nothing of it, and a pipe where a file should be holds nothing up.
TEST_F(WebPageTest, ExportKeepsOtherPagesAndReadsOnlyTheLibrarysFiles)
{
    const QString book = importBook(R"({"vellumark": "clearbook", "version": 1, "title": "Notes",
      "slides": [{"title": "a", "ending": "pause", "objects": [
        {"kind": 430, "title": "memo", "text": "our own words", "barLeft": 0, "barWidth": 100}]}]})");
    ASSERT_FALSE(book.isEmpty());
    const QString dir = home.path() + "/out";
    Result r = vkctl({"book", "export-html", book, dir});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile(dir + "/index.html").open(QIODevice::ReadOnly));
    EXPECT_TRUE(pageDocument(dir)
                    .value("slides")
                    .toArray()
                    .at(0)
                    .toObject()
                    .value("objects")
                    .toArray()
                    .at(0)
                    .toObject()
                    .value("text")
                    .toString() == "our own words")
        << "the memo's stored text is read";

    // Another program's page in a folder of its own.
    const QString theirs = home.path() + "/site";
    QDir().mkpath(theirs);
    writeFile(theirs + "/index.html", "<html><body>their page</body></html>");
    writeFile(theirs + "/player.js", "their script");
    r = vkctl({"book", "export-html", book, theirs});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("not a page exported by Vellumark")) << r.err.toStdString();
    QFile page(theirs + "/index.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), "<html><body>their page</body></html>");
    EXPECT_EQ(QDir(theirs).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"index.html", "player.js"}));
    // Their script alone, with no page, is kept all the same.
    QFile::remove(theirs + "/index.html");
    EXPECT_EQ(vkctl({"book", "export-html", book, theirs}).code, 1);
    EXPECT_FALSE(QFileInfo::exists(theirs + "/index.html"));

    // The memo's row names a file outside the library, then a pipe with no writer.
    writeFile(home.path() + "/secret.txt", "private key");
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.path() + "/pipe").constData(), 0600), 0);
    for (const QString &name : {QStringLiteral("secret.txt"), QStringLiteral("pipe")}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_EQ(vkctl({"sql", "update Object_Table set Obj_Media = ? where Obj_TypeId = 430", "--param",
                         home.path() + "/" + name})
                      .code,
                  0);
        r = vkctl({"book", "export-html", book, dir});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        QFile written(dir + "/index.html");
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_FALSE(written.readAll().contains("private key"));
        EXPECT_FALSE(vkctl({"book", "export-json", book, "-"}).out.contains("private key"));
    }

    // A linked picture that has become a pipe is left out, not waited on.
    const QString picture = home.path() + "/linked.png";
    testCard(40, 30).save(picture, "PNG");
    const QString linked = importBook(QString(R"({"vellumark": "clearbook", "version": 1, "title": "Piped",
      "slides": [{"title": "a", "ending": "pause", "objects": [
        {"kind": 4, "title": "p", "media": {"link": "%1"}, "barLeft": 0, "barWidth": 100}]}]})")
                                          .arg(picture));
    ASSERT_FALSE(linked.isEmpty());
    QFile::remove(picture);
    ASSERT_EQ(::mkfifo(QFile::encodeName(picture).constData(), 0600), 0);
    r = vkctl({"book", "export-html", linked, home.path() + "/piped"});
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("not a regular file")) << r.err.toStdString();
}

// The presentation a user makes: three slides with a picture, a text, a sound, a loop and a
// button link, exported and opened from disk in headless Chromium. Each slide shows at the times
// the desktop player shows it, as `vkctl book render` draws it; a click on the button follows its
// link; the page asks for nothing outside its folder.
TEST_F(WebPageTest, ChromiumPlaysTheExportedBookAsTheDesktopDoes)
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (node().isEmpty() || chromium.isEmpty())
        GTEST_SKIP() << "node or chromium is not installed: the page cannot be opened in a browser";
    if (!QFileInfo::exists(QStringLiteral(WEB_NODE_MODULES "/playwright-core/package.json")))
        GTEST_SKIP() << "playwright-core is not installed in " WEB_NODE_MODULES;

    testCard(200, 150).save(home.path() + "/card.png");
    writeFile(home.path() + "/sound.wav", silentWav());
    ASSERT_EQ(vkctl({"folder", "add", "Pics"}).code, 0);
    Result r = vkctl({"import", "Pics", home.path() + "/card.png"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString card = r.out.trimmed();
    const QString json = QString(R"({"vellumark": "clearbook", "version": 1, "title": "Tour",
      "slides": [
        {"title": "Welcome", "color": "clTeal", "gradient": 1, "ending": "sequence",
         "objects": [
           {"kind": 5, "title": "Card", "media": {"library": "%1"}, "barLeft": 0, "barWidth": 600,
            "left": 60, "top": 80, "width": 200, "height": 150},
           {"kind": 410, "title": "Hello", "caption": "Welcome to the tour", "barLeft": 100, "barWidth": 500,
            "left": 320, "top": 100, "width": 400, "height": 60},
           {"kind": 101, "title": "Chime", "media": {"file": "%2/sound.wav"}, "barLeft": 0, "barWidth": 600,
            "left": 700, "top": 500, "width": 32, "height": 32}],
         "flags": [%3]},
        {"title": "Choices", "color": "clYellow", "ending": "pause",
         "objects": [
           {"kind": 420, "title": "Go", "caption": "To the end", "barLeft": 0, "barWidth": 1000, "link": {"slide": 2},
            "left": 300, "top": 250, "width": 200, "height": 60},
           {"kind": 410, "title": "Ask", "caption": "Pick one", "barLeft": 0, "barWidth": 1000,
            "left": 300, "top": 150, "width": 200, "height": 50}]},
        {"title": "The end", "color": "clNavy", "ending": "pause",
         "objects": [
           {"kind": 453, "title": "Sun", "barLeft": 0, "barWidth": 500, "left": 300, "top": 200, "width": 200, "height": 150},
           {"kind": 410, "title": "Bye", "caption": "Thank you", "barLeft": 0, "barWidth": 500,
            "left": 300, "top": 400, "width": 300, "height": 50}]}]})")
                             .arg(card, home.path(), flagJson(1, 200, "Again", 0, 400, "", 1, 1));
    const QString book = importBook(json);
    const QString dir = home.path() + "/Tour web";
    r = vkctl({"book", "export-html", "Tour", dir});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();

    // When the desktop player starts slide 2.
    const Result trace = vkctl({"book", "play", "Tour", "--trace", "--limit", "30"});
    ASSERT_EQ(trace.code, 0) << trace.err.toStdString();
    const QRegularExpressionMatch second =
        QRegularExpression("(?m)^(\\d+)\\t0\\tslide\\t2\\t").match(trace.out);
    ASSERT_TRUE(second.hasMatch()) << trace.out.toStdString();
    const int slide2 = second.captured(1).toInt();
    EXPECT_GT(slide2, 8000) << "the loop holds slide 1 two seconds longer";

    // Screenshots at given moments, each beside the desktop's picture of that slide and time.
    struct Shot
    {
        int runMs; // the clock moved on by this much first
        QPoint click;
        int slide, at;
        const char *what;
    } shots[] = {
        {500, {}, 1, 40, "slide 1 before its text"},
        {1000, {}, 1, 140, "slide 1 with its text"},
        {slide2 - 1500 - 300, {}, 1, 580, "slide 1 at its end, the loop played"},
        {800, {}, 2, 40, "slide 2 shortly after it began"},
        {0, {400, 280}, 0, 0, "the button is pressed"},
        {300, {}, 3, 20, "slide 3, where the button leads"},
    };
    QJsonArray steps;
    for (size_t i = 0; i < std::size(shots); ++i) {
        QJsonObject step{{"run", shots[i].runMs}};
        if (!shots[i].click.isNull())
            step.insert("click", QJsonArray{shots[i].click.x(), shots[i].click.y()});
        if (shots[i].slide)
            step.insert("shot", home.path() + QString("/shot-%1.png").arg(i));
        steps.append(step);
    }
    writeFile(home.path() + "/steps.json", QJsonDocument(steps).toJson());
    r = run(node(),
            {script("check-page.js"), chromium, dir + "/index.html", "800x600", home.path() + "/steps.json"},
            120000);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject log = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_TRUE(log.value("errors").toArray().isEmpty()) << r.out.toStdString();

    for (size_t i = 0; i < std::size(shots); ++i) {
        const Shot &s = shots[i];
        if (!s.slide)
            continue;
        const QString desktop = home.path() + QString("/desktop-%1.png").arg(i);
        r = vkctl({"book", "render", "Tour", "--slide", QString::number(s.slide), "--at",
                   QString::number(s.at), desktop, "--size", "800x600"});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QImage web(home.path() + QString("/shot-%1.png").arg(i)), wanted(desktop);
        ASSERT_EQ(web.size(), QSize(800, 600)) << s.what;
        EXPECT_LT(differingShare(web, wanted), 0.01) << s.what;
        // Not a picture any slide would match: the slide before or after looks otherwise.
        const QString other = home.path() + "/other.png";
        vkctl({"book", "render", "Tour", "--slide", QString::number(s.slide == 1 ? 2 : s.slide - 1), "--at",
               QString::number(s.at), other, "--size", "800x600"});
        EXPECT_GT(differingShare(web, QImage(other)), 0.05) << s.what;
    }
    // Before its text appears and after: the text makes the difference.
    EXPECT_GT(differingShare(QImage(home.path() + "/shot-0.png"), QImage(home.path() + "/shot-1.png")),
              0.001);

    // Everything the page asked for lies in its folder.
    const QString inside = QUrl::fromLocalFile(dir + "/").toString(QUrl::FullyEncoded);
    const QJsonArray requests = log.value("requests").toArray();
    EXPECT_GE(requests.size(), 5) << "the page, its script, its style sheet, the picture and the sound";
    for (const QJsonValue &url : requests)
        EXPECT_TRUE(url.toString().startsWith(inside)) << url.toString().toStdString();
}

} // namespace
