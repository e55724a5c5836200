// The main window's two file dialogs, each one replaceable function so tests can answer them:
// "Import images" (several existing files) and the output folder with the output format asked
// at START. UI thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "engine/OutputFormat.h"

class QWidget;

namespace rx {

// The folder dialog's answer.
struct FolderAndFormat {
    QString folder;
    OutputFormat format = OutputFormat::DontChange;
};

using ImportFilesHook = std::function<QStringList(QWidget* owner)>;
// Returns false when cancelled; otherwise fills the chosen folder and format.
using FolderAndFormatHook = std::function<bool(QWidget* owner, FolderAndFormat& inOut)>;

// The chosen files in the dialog's order; empty when cancelled.
QStringList ChooseImportFiles(QWidget* owner);
// Opens at inOut.folder with inOut.format preselected in the "File format:" list.
bool ChooseFolderAndFormat(QWidget* owner, FolderAndFormat& inOut);

// Install a replacement (an empty one restores the real dialog); each returns the previous.
ImportFilesHook SetImportFilesHook(ImportFilesHook hook);
FolderAndFormatHook SetFolderAndFormatHook(FolderAndFormatHook hook);

} // namespace rx
