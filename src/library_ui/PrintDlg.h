// TPrintForm: the print layout ("Print Form"). It prints one picture of the library on the
// current printer (any printer of the desktop, or a PDF file) with a chosen scale, position and
// paper margins, and shows a proportional preview of the page. The folder window, the property
// dialog and the property editor open it modally for the picture they show.
//
// Every number it shows and prints comes from the one layout (PrintLayout.h), so the preview,
// the page and vkctl print agree.
#pragma once

#include "PrintLayout.h"

#include <QDialog>
#include <QImage>

#include <memory>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QTabWidget;

namespace vk {

class UiServices;
class TPrintPreviewPanel;

class TPrintForm : public QDialog
{
    Q_OBJECT
public:
    explicit TPrintForm(UiServices &ui, QWidget *parent = nullptr);
    ~TPrintForm() override;

    // The picture as its viewer holds it (turned, mirrored, ...).
    void setPicture(const QImage &picture, const QString &title = QString());
    bool hasPicture() const { return !m_picture.isNull(); }

    // The printer it prints on; a test or a person's setup may point it at a PDF file.
    QPrinter &printer() { return *m_printer; }
    // Reads the printer's resolution and page again (after its setup changed), and lays out anew.
    void initPrinter();

    PrinterPage printerPage() const { return m_page; }
    PrintRequest request() const { return m_request; }
    PrintLayout layout() const;
    // Where the preview shows the picture and the margins, in its own pixels, and its size.
    QRect previewPictureRect() const;
    QRect previewMarginRect() const;
    QSize previewPaperSize() const;
    bool previewShown() const;

    // The commands of its buttons.
    void PrinterSetupClick();
    void PrintPreviewClick();
    void FullPreviewClick();
    // Prints the page and closes the dialog; false (the dialog stays) when nothing was printed.
    bool PrintClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void scaleChanged();
    bool zoomBoxLeft(QLineEdit *box);
    bool marginLeft(QLineEdit *box, double *margin);
    bool sizeLeft(QLineEdit *box, bool width);
    void fullPageChanged();
    void relayout();
    void showSizes(const PrintLayout &layout);
    void paintPage(QPrinter *printer);
    void refuse(QLineEdit *box, const QString &text);

    UiServices &m_ui;
    std::unique_ptr<QPrinter> m_printer;
    QImage m_picture;
    QString m_title;
    PrinterPage m_page;
    PrintRequest m_request;

    QTabWidget *m_pages = nullptr;
    QWidget *m_styleTab = nullptr;
    QButtonGroup *rdgOption = nullptr, *rdgZoomIn = nullptr, *rdgZoomOut = nullptr, *rdgPosition = nullptr;
    QGroupBox *m_zoomInBox = nullptr, *m_zoomOutBox = nullptr, *m_positionBox = nullptr;
    QLineEdit *edtZoomIn = nullptr, *edtZoomOut = nullptr;
    QLineEdit *edtLeft = nullptr, *edtRight = nullptr, *edtTop = nullptr, *edtBottom = nullptr;
    QLineEdit *edtImageWidth = nullptr, *edtImageHeight = nullptr;
    QCheckBox *ckbPreserveRatio = nullptr, *ckbFullPage = nullptr;
    QLabel *labPageWidth = nullptr, *labPageHeight = nullptr;
    QPushButton *btnSetup = nullptr, *btnPreview = nullptr, *btnPrint = nullptr, *btnCancel = nullptr;
    QPushButton *btnFullPreview = nullptr;
    QWidget *m_previewSide = nullptr;
    TPrintPreviewPanel *m_preview = nullptr;
    int m_refusing = 0;
};

} // namespace vk
