#include "app/AppDialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

#include "engine/ImageFile.h"
#include "engine/OutputFormat.h"

namespace rx {

namespace {

const char kFolderTitle[] = "Choose the folder to save resulting images to";
const char kFormatLabel[] = "File format:";

ImportFilesHook g_importFiles;
FolderAndFormatHook g_folderAndFormat;

QStringList RealImportFiles(QWidget* owner) {
    return QFileDialog::getOpenFileNames(owner, QString(), QString(),
                                         QString::fromLatin1(kImageFileFilter));
}

// A folder picker that carries the format list in its own grid, below the file-type row.
bool RealFolderAndFormat(QWidget* owner, FolderAndFormat& inOut) {
    QString start = inOut.folder;
    if (!start.isEmpty() && !start.endsWith(QDir::separator()))
        start += QDir::separator();
    QFileDialog dialog(owner, QString::fromLatin1(kFolderTitle), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // The list is added to the dialog's own layout, which the platform dialogs do not have.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* formats = new QComboBox(&dialog);
    // The list's positions are the formats' numbers.
    for (const OutputFormat format : kOutputFormats)
        formats->addItem(QString::fromWCharArray(OutputFormatName(format)));
    formats->setCurrentIndex(FormatNumber(OutputFormatFromNumber(FormatNumber(inOut.format))));
    auto* label = new QLabel(QString::fromLatin1(kFormatLabel), &dialog);
    label->setBuddy(formats);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(formats, row, 1);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    inOut.folder = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    inOut.format = OutputFormatFromNumber(formats->currentIndex());
    return true;
}

template <class Hook> Hook Exchange(Hook& slot, Hook hook) {
    Hook previous = std::move(slot);
    slot = std::move(hook);
    return previous;
}

} // namespace

QStringList ChooseImportFiles(QWidget* owner) {
    return g_importFiles ? g_importFiles(owner) : RealImportFiles(owner);
}

bool ChooseFolderAndFormat(QWidget* owner, FolderAndFormat& inOut) {
    return g_folderAndFormat ? g_folderAndFormat(owner, inOut) : RealFolderAndFormat(owner, inOut);
}

ImportFilesHook SetImportFilesHook(ImportFilesHook hook) {
    return Exchange(g_importFiles, std::move(hook));
}

FolderAndFormatHook SetFolderAndFormatHook(FolderAndFormatHook hook) {
    return Exchange(g_folderAndFormat, std::move(hook));
}

} // namespace rx
