#include "PrintDlg.h"

#include "Messages.h"
#include "PrintPage.h"
#include "UiServices.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace vk {

// The page in small: the paper, the margins (dotted) and the picture where it will print.
class TPrintPreviewPanel : public QWidget
{
public:
    explicit TPrintPreviewPanel(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("PreviewPanel"));
    }

    PrintPreviewScale scale;
    PrintLayout layout;
    QImage picture;

    QSize sizeHint() const override { return scale.panel() + QSize(8, 8); }
    QSize minimumSizeHint() const override { return sizeHint(); }
    // The paper's place in the widget.
    QPoint origin() const { return QPoint(4, 4); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect paper(origin(), scale.panel());
        p.fillRect(paper.translated(3, 3), palette().color(QPalette::Shadow));
        p.fillRect(paper, Qt::white);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(paper.adjusted(0, 0, -1, -1));
        if (!layout.isValid())
            return;
        p.translate(origin());
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (!picture.isNull())
            p.drawImage(QRectF(scale.toPanel(layout.destination)), picture, QRectF(layout.source));
        p.setPen(QPen(QColor(0x20, 0x4a, 0x87), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(scale.toPanel(layout.margin).adjusted(0, 0, -1, -1));
    }
};

namespace {

constexpr int PreviewWidth = 220;

QString cmText(double value, const char *format = "%3.1f")
{
    return QString::asprintf(format, value).trimmed();
}

// A number as a person types it: "2", "2.5", and "2,5" too.
bool readNumber(const QString &text, double *value)
{
    bool ok = false;
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

QRadioButton *radio(const char *name, const char *text, QButtonGroup *group, int id, QWidget *parent)
{
    auto *r = new QRadioButton(QString::fromLatin1(text), parent);
    r->setObjectName(QLatin1String(name));
    group->addButton(r, id);
    return r;
}

QLineEdit *numberBox(const char *name, QWidget *parent, int width = 48)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setFixedWidth(width);
    e->setAlignment(Qt::AlignRight);
    return e;
}

enum OptionId
{
    OptionActual,
    OptionZoomIn,
    OptionZoomOut
};
constexpr int OthersId = 0;

} // namespace

TPrintForm::TPrintForm(UiServices &ui, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("PrintForm"));
    setWindowTitle(QStringLiteral("Print Form"));
    buildForm();
    initPrinter();
}

TPrintForm::~TPrintForm() = default;

void TPrintForm::buildForm()
{
    auto *top = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    top->addLayout(left);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl"));
    left->addWidget(m_pages);

    // Print Style.
    m_styleTab = new QWidget;
    m_styleTab->setObjectName(QStringLiteral("tbsPrintStyle"));
    auto *style = new QHBoxLayout(m_styleTab);
    auto *optionBox = new QGroupBox(QStringLiteral("Option"), m_styleTab);
    auto *option = new QVBoxLayout(optionBox);
    rdgOption = new QButtonGroup(this);
    option->addWidget(radio("rdbActual", "Actual", rdgOption, OptionActual, optionBox));
    option->addWidget(radio("rdbZoomIn", "ZoomIn", rdgOption, OptionZoomIn, optionBox));
    option->addWidget(radio("rdbZoomOut", "ZoomOut", rdgOption, OptionZoomOut, optionBox));
    option->addStretch(1);
    rdgOption->button(OptionActual)->setChecked(true);
    style->addWidget(optionBox);

    m_zoomInBox = new QGroupBox(QStringLiteral("ZoomIn"), m_styleTab);
    auto *zoomIn = new QGridLayout(m_zoomInBox);
    rdgZoomIn = new QButtonGroup(this);
    zoomIn->addWidget(radio("rdbIn2", "1 : 2", rdgZoomIn, 2, m_zoomInBox), 0, 0, 1, 3);
    zoomIn->addWidget(radio("rdbIn4", "1 : 4", rdgZoomIn, 4, m_zoomInBox), 1, 0, 1, 3);
    zoomIn->addWidget(radio("rdbIn6", "1 : 6 ", rdgZoomIn, 6, m_zoomInBox), 2, 0, 1, 3);
    zoomIn->addWidget(radio("rdbIn8", "1 : 8", rdgZoomIn, 8, m_zoomInBox), 3, 0, 1, 3);
    zoomIn->addWidget(radio("rdbInOthers", "Others", rdgZoomIn, OthersId, m_zoomInBox), 4, 0);
    zoomIn->addWidget(new QLabel(QStringLiteral("1 : "), m_zoomInBox), 4, 1);
    edtZoomIn = numberBox("edtZoomIn", m_zoomInBox, 36);
    edtZoomIn->setText(QStringLiteral("1"));
    zoomIn->addWidget(edtZoomIn, 4, 2);
    rdgZoomIn->button(2)->setChecked(true);
    style->addWidget(m_zoomInBox);

    m_zoomOutBox = new QGroupBox(QStringLiteral("ZoomOut"), m_styleTab);
    auto *zoomOut = new QGridLayout(m_zoomOutBox);
    rdgZoomOut = new QButtonGroup(this);
    zoomOut->addWidget(radio("rdbOut2", "2 : 1", rdgZoomOut, 2, m_zoomOutBox), 0, 0, 1, 3);
    zoomOut->addWidget(radio("rdbOut4", "4 : 1", rdgZoomOut, 4, m_zoomOutBox), 1, 0, 1, 3);
    zoomOut->addWidget(radio("rdbOut6", "6 : 1", rdgZoomOut, 6, m_zoomOutBox), 2, 0, 1, 3);
    zoomOut->addWidget(radio("rdbOut8", "8 : 1", rdgZoomOut, 8, m_zoomOutBox), 3, 0, 1, 3);
    zoomOut->addWidget(radio("rdbOutOthers", "Others", rdgZoomOut, OthersId, m_zoomOutBox), 4, 0);
    edtZoomOut = numberBox("edtZoomOut", m_zoomOutBox, 36);
    edtZoomOut->setText(QStringLiteral("1"));
    zoomOut->addWidget(edtZoomOut, 4, 1);
    zoomOut->addWidget(new QLabel(QStringLiteral(": 1"), m_zoomOutBox), 4, 2);
    rdgZoomOut->button(2)->setChecked(true);
    style->addWidget(m_zoomOutBox);
    m_pages->addTab(m_styleTab, QStringLiteral("Print Style"));

    // Other Options.
    auto *other = new QWidget;
    other->setObjectName(QStringLiteral("tbsOtherOptions"));
    auto *otherLayout = new QGridLayout(other);
    m_positionBox = new QGroupBox(QStringLiteral("Image Position"), other);
    auto *position = new QVBoxLayout(m_positionBox);
    rdgPosition = new QButtonGroup(this);
    position->addWidget(
        radio("rdbLeftTop", "Left-Top", rdgPosition, int(PrintPosition::LeftTop), m_positionBox));
    position->addWidget(
        radio("rdbRightTop", "Right-Top", rdgPosition, int(PrintPosition::RightTop), m_positionBox));
    position->addWidget(
        radio("rdbLeftBottom", "Left-Bottom", rdgPosition, int(PrintPosition::LeftBottom), m_positionBox));
    position->addWidget(
        radio("rdbRightBottom", "Right-Bottom", rdgPosition, int(PrintPosition::RightBottom), m_positionBox));
    position->addWidget(radio("rdbCenter", "Center", rdgPosition, int(PrintPosition::Center), m_positionBox));
    rdgPosition->button(int(PrintPosition::LeftTop))->setChecked(true);
    otherLayout->addWidget(m_positionBox, 0, 0, 2, 1);

    auto *marginBox = new QGroupBox(QStringLiteral("Paper Margin"), other);
    auto *margins = new QGridLayout(marginBox);
    edtLeft = numberBox("edtLeft", marginBox);
    edtRight = numberBox("edtRight", marginBox);
    edtTop = numberBox("edtTop", marginBox);
    edtBottom = numberBox("edtBottom", marginBox);
    margins->addWidget(new QLabel(QStringLiteral("Left: "), marginBox), 0, 0);
    margins->addWidget(edtLeft, 0, 1);
    margins->addWidget(new QLabel(QStringLiteral("Right: "), marginBox), 0, 2);
    margins->addWidget(edtRight, 0, 3);
    margins->addWidget(new QLabel(QStringLiteral("Top: "), marginBox), 1, 0);
    margins->addWidget(edtTop, 1, 1);
    margins->addWidget(new QLabel(QStringLiteral("Bottom: "), marginBox), 1, 2);
    margins->addWidget(edtBottom, 1, 3);
    for (QLineEdit *e : {edtLeft, edtRight, edtTop, edtBottom})
        e->setText(cmText(PrintMinimumMarginCm, "%2.1f"));
    otherLayout->addWidget(marginBox, 0, 1);

    auto *sizeBox = new QGroupBox(QStringLiteral("Image Size"), other);
    auto *sizes = new QGridLayout(sizeBox);
    edtImageWidth = numberBox("edtImageWidth", sizeBox);
    edtImageHeight = numberBox("edtImageHeight", sizeBox);
    sizes->addWidget(new QLabel(QStringLiteral("Image Width: "), sizeBox), 0, 0);
    sizes->addWidget(edtImageWidth, 0, 1);
    sizes->addWidget(new QLabel(QStringLiteral("Image Height: "), sizeBox), 1, 0);
    sizes->addWidget(edtImageHeight, 1, 1);
    ckbPreserveRatio = new QCheckBox(QStringLiteral("Preserve Ratio"), sizeBox);
    ckbPreserveRatio->setObjectName(QStringLiteral("ckbPreserveRatio"));
    ckbPreserveRatio->setChecked(true);
    ckbFullPage = new QCheckBox(QStringLiteral("Full Page"), sizeBox);
    ckbFullPage->setObjectName(QStringLiteral("ckbFullPage"));
    sizes->addWidget(ckbPreserveRatio, 0, 2);
    sizes->addWidget(ckbFullPage, 1, 2);
    otherLayout->addWidget(sizeBox, 1, 1);
    m_pages->addTab(other, QStringLiteral("Other Options"));

    // The page, in cm.
    auto *pageRow = new QHBoxLayout;
    labPageWidth = new QLabel(this);
    labPageWidth->setObjectName(QStringLiteral("labPageWidth"));
    labPageHeight = new QLabel(this);
    labPageHeight->setObjectName(QStringLiteral("labPageHeight"));
    pageRow->addWidget(labPageWidth);
    pageRow->addWidget(labPageHeight);
    pageRow->addStretch(1);
    pageRow->addWidget(new QLabel(QStringLiteral("Unit: cm"), this));
    left->addLayout(pageRow);

    auto *buttons = new QHBoxLayout;
    btnSetup = new QPushButton(QStringLiteral("Printer &Setup..."), this);
    btnSetup->setObjectName(QStringLiteral("btnSetup"));
    btnPreview = new QPushButton(QStringLiteral("Print Previe&w"), this);
    btnPreview->setObjectName(QStringLiteral("btnPreview"));
    btnPrint = new QPushButton(QStringLiteral("&Print"), this);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton *b : {btnSetup, btnPreview, btnPrint, btnCancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    btnPrint->setDefault(true);
    left->addLayout(buttons);

    // The preview, at the right once asked for.
    m_previewSide = new QWidget(this);
    m_previewSide->setObjectName(QStringLiteral("PreviewSide"));
    auto *side = new QVBoxLayout(m_previewSide);
    side->setContentsMargins(0, 0, 0, 0);
    m_preview = new TPrintPreviewPanel(m_previewSide);
    m_preview->scale.panelWidth = PreviewWidth;
    side->addWidget(m_preview, 0, Qt::AlignHCenter | Qt::AlignTop);
    btnFullPreview = new QPushButton(QStringLiteral("Full Pre&view..."), m_previewSide);
    btnFullPreview->setObjectName(QStringLiteral("btnFullPreview"));
    btnFullPreview->setAutoDefault(false);
    side->addWidget(btnFullPreview, 0, Qt::AlignHCenter);
    side->addStretch(1);
    m_previewSide->hide();
    top->addWidget(m_previewSide);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(rdgOption, &QButtonGroup::idClicked, this, [this] { scaleChanged(); });
    connect(rdgZoomIn, &QButtonGroup::idClicked, this, [this] { scaleChanged(); });
    connect(rdgZoomOut, &QButtonGroup::idClicked, this, [this] { scaleChanged(); });
    connect(rdgPosition, &QButtonGroup::idClicked, this, [this](int id) {
        m_request.position = PrintPosition(id);
        relayout();
    });
    connect(ckbFullPage, &QCheckBox::toggled, this, [this] { fullPageChanged(); });
    connect(ckbPreserveRatio, &QCheckBox::toggled, this, [this](bool on) {
        m_request.preserveRatio = on;
        // The height follows the width box again.
        if (on && !m_request.fullPage)
            sizeLeft(edtImageWidth, true);
        else
            relayout();
    });
    connect(btnSetup, &QPushButton::clicked, this, &TPrintForm::PrinterSetupClick);
    connect(btnPreview, &QPushButton::clicked, this, &TPrintForm::PrintPreviewClick);
    connect(btnFullPreview, &QPushButton::clicked, this, &TPrintForm::FullPreviewClick);
    connect(btnPrint, &QPushButton::clicked, this, &TPrintForm::PrintClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Leaving a box (Enter too) takes its value.
    for (QLineEdit *e :
         {edtZoomIn, edtZoomOut, edtLeft, edtRight, edtTop, edtBottom, edtImageWidth, edtImageHeight})
        e->installEventFilter(this);
    scaleChanged();
}

void TPrintForm::initPrinter()
{
    QPrinter &p = *m_printer;
    if (p.outputFormat() == QPrinter::PdfFormat) {
        // A PDF page is laid out as vkctl print lays it out.
        p.setResolution(PdfDotsPerInch);
        SetUpPdfPage(p, p.pageLayout().pageSize());
    }
    m_page.dotsPerInch = p.resolution();
    m_page.page = p.pageRect(QPrinter::DevicePixel).size().toSize();
    labPageWidth->setText(QStringLiteral("Page Width: ") + cmText(m_page.widthCm()));
    labPageHeight->setText(QStringLiteral("Page Height: ") + cmText(m_page.heightCm()));
    m_preview->scale.printer = m_page;
    m_preview->updateGeometry();
    btnPrint->setEnabled(true);
    relayout();
}

void TPrintForm::setPicture(const QImage &picture, const QString &title)
{
    m_picture = picture;
    m_preview->picture = picture;
    m_request.picture = picture.size();
    m_title = title;
    if (!title.isEmpty())
        setWindowTitle(QStringLiteral("Print Form - ") + title);
    m_request.size.reset();
    relayout();
}

PrintLayout TPrintForm::layout() const
{
    return LayoutPrint(m_page, m_request);
}

QRect TPrintForm::previewPictureRect() const
{
    const PrintLayout l = layout();
    return l.isValid() ? m_preview->scale.toPanel(l.destination) : QRect();
}

QRect TPrintForm::previewMarginRect() const
{
    const PrintLayout l = layout();
    return l.isValid() ? m_preview->scale.toPanel(l.margin) : QRect();
}

QSize TPrintForm::previewPaperSize() const
{
    return m_preview->scale.panel();
}

bool TPrintForm::previewShown() const
{
    return !m_previewSide->isHidden();
}

void TPrintForm::scaleChanged()
{
    const int option = rdgOption->checkedId();
    m_zoomInBox->setEnabled(option == OptionZoomIn);
    m_zoomOutBox->setEnabled(option == OptionZoomOut);
    edtZoomIn->setEnabled(rdgZoomIn->checkedId() == OthersId);
    edtZoomOut->setEnabled(rdgZoomOut->checkedId() == OthersId);
    m_request.size.reset();
    if (option == OptionZoomIn) {
        m_request.scale = PrintScale::ZoomIn;
        const int id = rdgZoomIn->checkedId();
        m_request.zoom = id == OthersId ? edtZoomIn->text().trimmed().toInt() : id;
    } else if (option == OptionZoomOut) {
        m_request.scale = PrintScale::ZoomOut;
        const int id = rdgZoomOut->checkedId();
        m_request.zoom = id == OthersId ? edtZoomOut->text().trimmed().toInt() : id;
    } else {
        m_request.scale = PrintScale::Actual;
        m_request.zoom = 1;
        // The zoom boxes reset to 1.
        edtZoomIn->setText(QStringLiteral("1"));
        edtZoomOut->setText(QStringLiteral("1"));
    }
    if (m_request.scale != PrintScale::Actual && m_request.zoom < 1)
        m_request.zoom = 1; // a box left empty waits for its number
    relayout();
}

void TPrintForm::refuse(QLineEdit *box, const QString &text)
{
    ++m_refusing;
    m_ui.showMessage(text, UiServices::Icon::Warning);
    --m_refusing;
    // The focus goes back to the box, in this window.
    QTimer::singleShot(0, box, [this, box] {
        activateWindow();
        box->setFocus();
        box->selectAll();
    });
}

bool TPrintForm::zoomBoxLeft(QLineEdit *box)
{
    bool ok = false;
    const int n = box->text().trimmed().toInt(&ok);
    if (!ok) {
        refuse(box, vkMessage("InvalidNumber"));
        return false;
    }
    if (n < 1) {
        // "Others" of 0 would divide by nothing.
        refuse(box, vkMessage("PrintZoomInvalid"));
        return false;
    }
    scaleChanged();
    return true;
}

bool TPrintForm::marginLeft(QLineEdit *box, double *margin)
{
    double value = 0;
    if (!readNumber(box->text(), &value)) {
        refuse(box, vkMessage("TransferFormatFailed"));
        return false;
    }
    if (value < PrintMinimumMarginCm) {
        // The printable page itself is the smallest margin; nothing else changes.
        box->setText(cmText(PrintMinimumMarginCm, "%2.1f"));
        value = PrintMinimumMarginCm;
    }
    box->setText(cmText(value, "%2.1f"));
    const double before = *margin;
    *margin = value;
    if (!layout().isValid() && layout().error == vkMessage("PrintMarginsTooWide")) {
        *margin = before;
        refuse(box, vkMessage("PrintMarginsTooWide"));
        return false;
    }
    relayout();
    return true;
}

bool TPrintForm::sizeLeft(QLineEdit *box, bool width)
{
    if (m_request.fullPage || m_picture.isNull())
        return true;
    double cm = 0;
    if (!readNumber(box->text(), &cm) || cm <= 0) {
        refuse(box, vkMessage("InvalidNumber"));
        return false;
    }
    const PrintLayout now = layout();
    const double dpc = m_page.dotsPerCm();
    m_request.size = width ? PrintSizeForWidth(cm, dpc, m_picture.size(), m_request.preserveRatio,
                                               now.isValid() ? now.print.height() : 1)
                           : PrintSizeForHeight(cm, dpc, m_picture.size(), m_request.preserveRatio,
                                                now.isValid() ? now.print.width() : 1);
    relayout();
    return true;
}

void TPrintForm::fullPageChanged()
{
    const bool on = ckbFullPage->isChecked();
    m_request.fullPage = on;
    edtImageWidth->setEnabled(!on);
    edtImageHeight->setEnabled(!on);
    m_positionBox->setEnabled(!on);
    m_styleTab->setEnabled(!on);
    if (on)
        rdgPosition->button(int(PrintPosition::LeftTop))->setChecked(true);
    if (on)
        m_request.position = PrintPosition::LeftTop;
    else
        m_request.size.reset();
    relayout();
}

void TPrintForm::relayout()
{
    const PrintLayout l = layout();
    showSizes(l);
    m_preview->layout = l;
    m_preview->update();
}

void TPrintForm::showSizes(const PrintLayout &l)
{
    if (!l.isValid() || m_page.dotsPerCm() <= 0) {
        edtImageWidth->clear();
        edtImageHeight->clear();
        return;
    }
    edtImageWidth->setText(cmText(l.print.width() / m_page.dotsPerCm()));
    edtImageHeight->setText(cmText(l.print.height() / m_page.dotsPerCm()));
}

bool TPrintForm::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box || m_refusing)
        return QDialog::eventFilter(watched, event);
    bool left = false;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // Enter in a box acts as leaving it (and does not print).
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            left = true;
            event->accept();
        }
    } else if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        left = reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible();
    }
    if (left) {
        if (box == edtZoomIn || box == edtZoomOut)
            zoomBoxLeft(box);
        else if (box == edtLeft)
            marginLeft(box, &m_request.margins.left);
        else if (box == edtRight)
            marginLeft(box, &m_request.margins.right);
        else if (box == edtTop)
            marginLeft(box, &m_request.margins.top);
        else if (box == edtBottom)
            marginLeft(box, &m_request.margins.bottom);
        else if (box == edtImageWidth && box->isModified())
            sizeLeft(box, true);
        else if (box == edtImageHeight && box->isModified())
            sizeLeft(box, false);
        box->setModified(false);
        if (event->type() == QEvent::KeyPress)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TPrintForm::PrinterSetupClick()
{
    QPrintDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // Back to this window, for the keyboard.
    activateWindow();
    if (accepted)
        initPrinter();
}

void TPrintForm::PrintPreviewClick()
{
    m_previewSide->setVisible(m_previewSide->isHidden());
    adjustSize();
}

void TPrintForm::paintPage(QPrinter *printer)
{
    QPainter painter(printer);
    PaintPrint(painter, m_picture, LayoutPrint(m_page, m_request));
}

void TPrintForm::FullPreviewClick()
{
    QPrintPreviewDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Print Preview"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &TPrintForm::paintPage);
    dialog.exec();
    activateWindow();
    // Its own page setup may have changed the printer.
    initPrinter();
}

bool TPrintForm::PrintClick()
{
    const PrintLayout l = layout();
    if (m_picture.isNull()) {
        m_ui.showMessage(vkMessage("PrintNoPicture"), UiServices::Icon::Warning);
        return false;
    }
    if (!l.isValid()) {
        m_ui.showMessage(l.error, UiServices::Icon::Warning);
        return false;
    }
    QPrinter &p = *m_printer;
    if (p.outputFormat() == QPrinter::PdfFormat && p.outputFileName().isEmpty()) {
        // No printer of the desktop: the page goes to a PDF file the person names.
        QString name = m_title.isEmpty() ? QStringLiteral("picture") : m_title;
        name.replace(QLatin1Char('/'), QLatin1Char('_'));
        const QString start = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                              QLatin1Char('/') + QFileInfo(name).completeBaseName() + QStringLiteral(".pdf");
        const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Print to File"), start,
                                                          QStringLiteral("PDF (*.pdf)"), nullptr,
                                                          QFileDialog::DontUseNativeDialog);
        if (file.isEmpty())
            return false;
        p.setOutputFileName(
            file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ? file : file + QStringLiteral(".pdf"));
    }
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QPainter painter;
        const bool started = painter.begin(&p);
        if (started) {
            PaintPrint(painter, m_picture, l);
            painter.end();
        }
        QApplication::restoreOverrideCursor();
        if (!started) {
            m_ui.showMessage(vkMessage("PrintFailed")
                                 .arg(p.outputFileName().isEmpty() ? p.printerName() : p.outputFileName()),
                             UiServices::Icon::Warning);
            return false;
        }
    }
    accept();
    return true;
}

} // namespace vk
