// The four states of the main window; each has its own drop-zone lettering and buttons.
#pragma once

namespace rx {

enum class MainWindowState {
    Empty = 0,      // no files in the list: "Drop images here"
    FilesAdded = 1, // files listed, no job running: START and Clear
    Processing = 2, // a job runs: progress, dots, Cancel
    Success = 3,    // the last job finished and the list was emptied: link, Save preset, Clear
};

} // namespace rx
