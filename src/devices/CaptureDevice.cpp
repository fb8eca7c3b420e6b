#include "CaptureDevice.h"

#include "ImageCodec.h"
#include "QtCaptureDevice.h"

#include <cmath>

namespace vk {

namespace {

CaptureDeviceFactory &factory()
{
    static CaptureDeviceFactory f;
    return f;
}

// A whole number as typed (surrounding blanks allowed); false for anything else.
bool wholeNumber(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

std::unique_ptr<CaptureDevice> createCaptureDevice()
{
    if (factory())
        return factory()();
    return std::make_unique<QtCaptureDevice>();
}

void setCaptureDeviceFactory(CaptureDeviceFactory f)
{
    factory() = std::move(f);
}

int FrameRateOf(int microSecPerFrame)
{
    if (microSecPerFrame <= 0)
        return 0;
    return int(std::floor(1000000.0 / microSecPerFrame + 0.5));
}

int MicroSecPerFrameOf(int frameRate)
{
    if (frameRate <= 0)
        return 0;
    return int(std::floor(1000000.0 / frameRate + 0.5));
}

CapSetupFields CapSetupFieldsOf(const CaptureParams &p)
{
    CapSetupFields f;
    f.frameRate = QString::number(FrameRateOf(p.microSecPerFrame));
    f.videoBuffer = QString::number(p.videoBuffers);
    f.useDosMemory = p.useDosMemory;
    f.disableWriteCache = p.disableWriteCache;
    f.captureAudio = p.captureAudio;
    f.timeLimitEnabled = p.timeLimitEnabled;
    f.timeLimit = QString::number(p.timeLimit);
    return f;
}

bool AcceptCapSetup(CapSetupFields &f, CaptureParams &params)
{
    int buffers = 0, rate = 0, limit = 0;
    const bool buffersWhole = wholeNumber(f.videoBuffer, &buffers);
    if (!buffersWhole)
        f.videoBuffer = QStringLiteral("0");
    const bool rateWhole = wholeNumber(f.frameRate, &rate);
    if (!rateWhole)
        f.frameRate = QStringLiteral("0");
    if (!buffersWhole || !rateWhole || rate < 1 || rate > 100)
        return false;
    // A count of buffers below nought means nothing to a driver.
    if (buffers < 0)
        return false;
    if (f.timeLimitEnabled && (!wholeNumber(f.timeLimit, &limit) || limit < 1 || limit > 3600))
        return false;
    params.microSecPerFrame = MicroSecPerFrameOf(rate);
    params.videoBuffers = buffers;
    params.useDosMemory = f.useDosMemory;
    params.disableWriteCache = f.disableWriteCache;
    params.captureAudio = f.captureAudio;
    params.timeLimitEnabled = f.timeLimitEnabled;
    if (f.timeLimitEnabled)
        params.timeLimit = limit;
    return true;
}

StillFormat StillFormatOf(int scanImageType)
{
    switch (scanImageType) {
    case 1:
        return {QStringLiteral(".bmp"), ifBMP, 1};
    case 2:
        return {QStringLiteral(".pcx"), ifPCX, 100};
    case 3:
        return {QStringLiteral(".png"), ifPNG, 0};
    case 4:
        return {QStringLiteral(".tga"), ifTGA, 1};
    case 5:
        return {QStringLiteral(".tif"), ifTIF, 0};
    case 6:
        return {QStringLiteral(".gif"), ifGIF, 0};
    default:
        return {QStringLiteral(".jpg"), ifJPG, 170};
    }
}

QString CaptureImageName(const QString &prefix, int counter, int scanImageType)
{
    return prefix + QStringLiteral("CapImage") + QString::number(counter) +
           StillFormatOf(scanImageType).extension;
}

} // namespace vk
