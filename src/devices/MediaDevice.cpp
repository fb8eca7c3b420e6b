#include "MediaDevice.h"

#include "QtMediaDevice.h"

#include <optional>

namespace vk {

namespace {

std::optional<MediaDeviceTable> &installedTable()
{
    static std::optional<MediaDeviceTable> table;
    return table;
}

MediaDeviceFactory &factory()
{
    static MediaDeviceFactory f;
    return f;
}

} // namespace

MediaDeviceTable MediaDeviceTable::build(const QStringList &systemDevices, bool waveOutput)
{
    MediaDeviceTable t;
    static const char *const fixed[] = {"AVIVideo",  "CDAudio", "DAT",       "DigitalVideo",
                                        "MMMovie",   "Other",   "Overlay",   "Scanner",
                                        "Sequencer", "VCR",     "Videodisc", "WaveAudio"};
    for (int i = 0; i < 12; ++i)
        t.names[dtAVIVideo + i] = QString::fromLatin1(fixed[i]);
    QStringList upper;
    for (const QString &name : systemDevices)
        upper << name.toUpper();
    if (upper.contains(QLatin1String("MPEGVIDEO")))
        t.names[dtMpegVideo] = QStringLiteral("MpegVideo");
    if (upper.contains(QLatin1String("ACTIVEMOVIE")))
        t.names[dtActiveMovie] = QStringLiteral("ActiveMovie");
    t.waveOutput = waveOutput;
    return t;
}

int MediaDeviceTable::deviceTypeOf(int mediaType) const
{
    switch (mediaType) {
    case 101:
        return dtWaveAudio;
    case 102:
    case 103:
        return dtSequencer;
    case 104: // MP3 and plain video are chosen by their files
    case 200:
        return dtNone;
    case 201:
        return dtAVIVideo;
    case 202:
        if (!names[dtMpegVideo].isEmpty())
            return dtMpegVideo;
        return names[dtActiveMovie].isEmpty() ? dtAutoSelect : dtActiveMovie;
    default:
        return dtAutoSelect;
    }
}

const MediaDeviceTable &mediaDeviceTable()
{
    std::optional<MediaDeviceTable> &t = installedTable();
    if (!t)
        t = MediaDeviceTable::build(QtMediaDevice::deviceNames(), QtMediaDevice::canPlaySound());
    return *t;
}

void installMediaDeviceTable(const MediaDeviceTable &table)
{
    installedTable() = table;
}

std::unique_ptr<MediaDevice> createMediaDevice()
{
    if (factory())
        return factory()();
    return std::make_unique<QtMediaDevice>();
}

void setMediaDeviceFactory(MediaDeviceFactory f)
{
    factory() = std::move(f);
}

} // namespace vk
