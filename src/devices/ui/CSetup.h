// "Capture setup ": the frame rate, buffers, audio and time limit of a clip recording. OK
// closes it only when the fields pass AcceptCapSetup (CaptureDevice.h).
#pragma once

#include "CaptureDevice.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace vk {

class TCapSetup : public QDialog
{
    Q_OBJECT
public:
    explicit TCapSetup(const CaptureParams &params, QWidget *parent = nullptr);

    // The values as accepted (as given until OK was accepted).
    const CaptureParams &params() const { return m_params; }
    CapSetupFields fields() const;
    void setFields(const CapSetupFields &fields);

    // OK: closes with acceptance when the fields pass, otherwise stays open (bad numbers
    // shown as "0").
    void btnOKClick();

    QLineEdit *edtFrameRate = nullptr;
    QLineEdit *edtVideoBuffer = nullptr;
    QCheckBox *ckbDosMemory = nullptr;
    QCheckBox *ckbWriteCache = nullptr;
    QCheckBox *ckbCaptureAudio = nullptr;
    QCheckBox *ckbTimeLimit = nullptr;
    QLineEdit *edtTimeLimit = nullptr;
    QLabel *labSeconds = nullptr;

private:
    void limitChanged();

    CaptureParams m_params;
};

} // namespace vk
