#include "CSetup.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vk {

TCapSetup::TCapSetup(const CaptureParams &params, QWidget *parent) : QDialog(parent), m_params(params)
{
    setWindowTitle(QStringLiteral("Capture setup "));
    auto *grid = new QGridLayout(this);
    edtFrameRate = new QLineEdit(this);
    edtVideoBuffer = new QLineEdit(this);
    ckbDosMemory = new QCheckBox(QStringLiteral("Use DOS memory"), this);
    ckbWriteCache = new QCheckBox(QStringLiteral("Disable write cache"), this);
    ckbCaptureAudio = new QCheckBox(QStringLiteral("Capture Audio"), this);
    ckbTimeLimit = new QCheckBox(QStringLiteral("Enable capture time limit"), this);
    edtTimeLimit = new QLineEdit(this);
    labSeconds = new QLabel(QStringLiteral("Seconds"), this);
    grid->addWidget(new QLabel(QStringLiteral("Frame Rate:"), this), 0, 0);
    grid->addWidget(edtFrameRate, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Video Buffer:"), this), 1, 0);
    grid->addWidget(edtVideoBuffer, 1, 1);
    grid->addWidget(ckbDosMemory, 2, 0, 1, 3);
    grid->addWidget(ckbWriteCache, 3, 0, 1, 3);
    grid->addWidget(ckbCaptureAudio, 4, 0, 1, 3);
    grid->addWidget(ckbTimeLimit, 5, 0);
    grid->addWidget(edtTimeLimit, 5, 1);
    grid->addWidget(labSeconds, 5, 2);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(buttons, 6, 0, 1, 3);
    connect(buttons, &QDialogButtonBox::accepted, this, &TCapSetup::btnOKClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ckbTimeLimit, &QCheckBox::toggled, this, &TCapSetup::limitChanged);
    setFields(CapSetupFieldsOf(params));
}

CapSetupFields TCapSetup::fields() const
{
    CapSetupFields f;
    f.frameRate = edtFrameRate->text();
    f.videoBuffer = edtVideoBuffer->text();
    f.useDosMemory = ckbDosMemory->isChecked();
    f.disableWriteCache = ckbWriteCache->isChecked();
    f.captureAudio = ckbCaptureAudio->isChecked();
    f.timeLimitEnabled = ckbTimeLimit->isChecked();
    f.timeLimit = edtTimeLimit->text();
    return f;
}

void TCapSetup::setFields(const CapSetupFields &f)
{
    edtFrameRate->setText(f.frameRate);
    edtVideoBuffer->setText(f.videoBuffer);
    ckbDosMemory->setChecked(f.useDosMemory);
    ckbWriteCache->setChecked(f.disableWriteCache);
    ckbCaptureAudio->setChecked(f.captureAudio);
    ckbTimeLimit->setChecked(f.timeLimitEnabled);
    edtTimeLimit->setText(f.timeLimit);
    limitChanged();
}

void TCapSetup::limitChanged()
{
    edtTimeLimit->setEnabled(ckbTimeLimit->isChecked());
    labSeconds->setEnabled(ckbTimeLimit->isChecked());
}

void TCapSetup::btnOKClick()
{
    CapSetupFields f = fields();
    CaptureParams p = m_params;
    const bool ok = AcceptCapSetup(f, p);
    setFields(f);
    if (!ok)
        return;
    m_params = p;
    accept();
}

} // namespace vk
