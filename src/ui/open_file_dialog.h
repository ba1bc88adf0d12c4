#pragma once

#include <QFileDialog>

#include "ui/user_dialogs.h"

namespace tarvix {

// Makes `dialog` an open dialog for `request`: any typed name is handed over as typed, and
// each type lists exactly the files its pattern matches.
void SetUpOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request);

}  // namespace tarvix
