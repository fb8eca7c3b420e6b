#include "MediaExport.h"

#include "DbFolder.h"
#include "FolderWindowHost.h"
#include "MediaFiles.h"
#include "MediaTypes.h"
#include "PictureFiles.h"
#include "UiServices.h"

#include <QFileDialog>

namespace vk {

bool ExportMediaAsked(QWidget *parent, const TDbMedia &item, FolderWindowHost &host)
{
    const ExportFilterSet filters = ExportFilter(item.Rec.MediaType);
    const QStringList entries = DialogFilters(filters.filter);
    QString selected = entries.value(filters.index - 1);
    const QString name = QFileDialog::getSaveFileName(parent, QStringLiteral("Export Media"), item.Rec.Title,
                                                      entries.join(QStringLiteral(";;")), &selected,
                                                      QFileDialog::DontUseNativeDialog);
    if (name.isEmpty())
        return false;
    const ExportTarget target =
        TypeOfExportName(filters.extensions, int(entries.indexOf(selected)) + 1, name);
    QString error;
    if (!ExportMediaFile(item, target.name, target.code, convertMediaPicture, &error, host.workDirectory()))
        host.ui().showMessage(error, UiServices::Icon::Warning);
    return true;
}

} // namespace vk
