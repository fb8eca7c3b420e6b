// vkctl record against a real sound input: a private PulseAudio daemon's null source, which
// gives silence in real time. The stored clip is a WAV of about the length asked for.
#include "PulseAudioServer.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

struct Outcome
{
    int code = -1;
    QString out, err;
};

// The length of a PCM WAV file in milliseconds from its header (-1 when it is not one).
qint64 waveLengthMs(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray b = f.readAll();
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    for (qsizetype at = 12; at + 8 <= b.size();) {
        const QByteArray id = b.mid(at, 4);
        quint32 size = 0;
        memcpy(&size, b.constData() + at + 4, 4);
        if (id == "fmt " && at + 20 <= b.size())
            memcpy(&byteRate, b.constData() + at + 16, 4);
        if (id == "data")
            return byteRate ? qint64(size) * 1000 / byteRate : -1;
        at += 8 + size + (size & 1);
    }
    return -1;
}

class RecordTest : public ::testing::Test
{
protected:
    Outcome vkctl(const QStringList &args, const QProcessEnvironment &extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CACHE_HOME", home.path() + "/cache");
        for (const QString &key : extra.keys())
            env.insert(key, extra.value(key));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VKCTL_PATH), args);
        p.waitForFinished(60000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    void SetUp() override
    {
        ASSERT_EQ(vkctl({"init", "svkbook"}).code, 0);
        ASSERT_EQ(vkctl({"folder", "add", "Narration"}).code, 0);
    }
    QJsonArray items()
    {
        return QJsonDocument::fromJson(vkctl({"ls", "Narration", "--json"}).out.toUtf8()).array();
    }

    QTemporaryDir home;
};

TEST_F(RecordTest, StoresAWaveOfTheLengthAskedFromTheNullSource)
{
    fixtures::PulseAudioServer pulse;
    const QString why = pulse.start();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    QProcessEnvironment client;
    client.insert("PULSE_SERVER", pulse.clientEnvironment().value("PULSE_SERVER"));
    const Outcome r = vkctl({"record", "Narration", "--seconds", "2", "--title", "Slide 3"}, client);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString oid = r.out.trimmed();
    EXPECT_EQ(oid.size(), 18);

    const QJsonArray list = items();
    ASSERT_EQ(list.size(), 1);
    const QJsonObject item = list[0].toObject();
    EXPECT_EQ(item["oid"].toString(), oid);
    EXPECT_EQ(item["title"].toString(), "Slide 3");
    EXPECT_EQ(item["type"].toInt(), 101);
    EXPECT_EQ(item["state"].toString(), "internal");
    const QString file = item["file"].toString();
    EXPECT_TRUE(file.endsWith(".wav")) << file.toStdString();
    const qint64 ms = waveLengthMs(file);
    EXPECT_GE(ms, 1800) << file.toStdString();
    EXPECT_LE(ms, 3000) << file.toStdString();

    // sox reads it as the same length.
    const QString sox = QStandardPaths::findExecutable("sox");
    if (!sox.isEmpty()) {
        QProcess p;
        p.start(sox, {"--i", "-D", file});
        ASSERT_TRUE(p.waitForFinished(10000));
        const double seconds = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toDouble();
        EXPECT_NEAR(seconds * 1000, double(ms), 50);
    }
}

TEST_F(RecordTest, WithoutAnInputNothingIsStored)
{
    QProcessEnvironment nowhere;
    nowhere.insert("PULSE_SERVER", "unix:" + home.path() + "/no-such-socket");
    const Outcome r = vkctl({"record", "Narration", "--seconds", "1"}, nowhere);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("There is no sound input to record from.")) << r.err.toStdString();
    EXPECT_TRUE(items().isEmpty());
}

TEST_F(RecordTest, SecondsAreAWholeNumberFromOneToAnHour)
{
    for (const char *bad : {"0", "3601", "two", "-1"}) {
        const Outcome r = vkctl({"record", "Narration", "--seconds", bad});
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_TRUE(r.err.contains("--seconds takes a whole number from 1 to 3600")) << r.err.toStdString();
    }
    EXPECT_EQ(vkctl({"record", "Narration"}).code, 2);
    const Outcome missing = vkctl({"record", "Nowhere", "--seconds", "1"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(items().isEmpty());
}

} // namespace
