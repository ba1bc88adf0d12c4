#pragma once

#include <QFileDialog>
#include <QString>

#include "archive/user_dialogs.h"

namespace tarvix {

// Qt's name filter for one type of the list: the label as the user reads it, then the type's
// own patterns, which the dialog filters by and does not show.
QString NameFilterOf(const FileFilter& filter);

// Makes `dialog` an open dialog for `request`: any typed name is handed over as typed, and
// each type lists exactly the files its pattern matches.
void SetUpOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request);

}  // namespace tarvix
